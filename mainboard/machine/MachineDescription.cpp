#include "mainboard/machine/MachineDescription.h"

#include <algorithm>
#include <stdexcept>

#include "mainboard/machine/BoardText.h"
#include "mainboard/machine/MachineLayout.h"

namespace simboard {

namespace {

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string_view> split(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = s.find(separator, start);
        parts.push_back(trim(s.substr(start, end - start)));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

std::string quoted(std::string_view s) { return "'" + std::string(s) + "'"; }

bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    const auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char16_t x, char16_t y) { return upper(x) == upper(y); });
}

// Device ids, as Windows allows them: printable ASCII without spaces or commas.
bool isDeviceIdText(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c > 0x20 && c < 0x7F && c != ','; });
}

std::u16string asciiToUtf16(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::optional<bool> parseYesNo(std::string_view text, std::string& problem) {
    if (text == "yes" || text == "true" || text == "1") return true;
    if (text == "no" || text == "false" || text == "0") return false;
    problem = quoted(text) + " is neither yes nor no";
    return std::nullopt;
}

enum class Section { none, machine, pciDevice, nvidiaCard, amdCard, lumbraItem };

struct SectionKind {
    Section section;
    const char* name;
    const char* what;  // as errors name it
    std::uint32_t capacity;
};
constexpr SectionKind kSections[] = {
    {Section::machine, "machine", "the machine", 1},
    {Section::pciDevice, "pci-device", "PCI devices", kMaxPciDevices},
    {Section::nvidiaCard, "nvidia-card", "NVIDIA cards", kMaxNvidiaCards},
    {Section::amdCard, "amd-card", "AMD cards", kMaxAmdCards},
    {Section::lumbraItem, "lumbra-item", "Lumbra items", kMaxLumbraItems},
};

class Parser {
  public:
    DescriptionResult run(std::string_view text);

  private:
    void error(int line, const std::string& what) {
        m_errors.push_back("line " + std::to_string(line) + ": " + what);
    }
    void beginSection(int line, std::string_view name);
    void endSection();
    void keyValue(int line, std::string_view key, std::string_view value);
    // Each returns a problem with the value, or an empty text when it was taken.
    std::string machineKey(std::string_view key, std::string_view value);
    std::string pciDeviceKey(std::string_view key, std::string_view value);
    std::string nvidiaCardKey(std::string_view key, std::string_view value);
    std::string amdCardKey(std::string_view key, std::string_view value);
    std::string lumbraItemKey(std::string_view key, std::string_view value);
    bool seen(std::string_view key) const {
        return std::find(m_keys.begin(), m_keys.end(), key) != m_keys.end();
    }
    void requireKeys(std::initializer_list<const char*> keys);
    std::size_t sectionCount(Section s) const;

    MachineDescription m_machine;
    std::vector<std::string> m_errors;
    const SectionKind* m_kind = nullptr;
    int m_sectionLine = 0;
    std::vector<std::string> m_keys;  // of the section being read
    std::vector<int> m_deviceLines;   // where each PCI device's section starts
    std::vector<int> m_itemLines;     // where each Lumbra item's section starts
    bool m_machineSeen = false;
};

// "current 1050, minimum 300, maximum 1200, default 1050", with "step N" where the record has steps.
std::optional<ClockFigures> parseClock(std::string_view text, bool withStep, std::string& problem) {
    ClockFigures f;
    f.supported = true;
    struct Field {
        const char* name = nullptr;
        std::int32_t ClockFigures::*value = nullptr;
        bool required = false;
        bool given = false;
    };
    Field fields[] = {
        {"current", &ClockFigures::current, true}, {"minimum", &ClockFigures::minimum, true},
        {"maximum", &ClockFigures::maximum, true}, {"default", &ClockFigures::defaultValue, true},
        {"step", &ClockFigures::step, withStep},   {"pass", &ClockFigures::passThrough, false}};
    for (std::string_view part : split(text, ',')) {
        if (part == "unsupported") {
            f.supported = false;
            continue;
        }
        const std::size_t space = part.find_first_of(" \t");
        const std::string_view name = part.substr(0, space);
        auto* field = std::find_if(std::begin(fields), std::end(fields), [&](const Field& x) {
            return name == x.name && (withStep || name != "step");
        });
        if (field == std::end(fields) || space == std::string_view::npos) {
            problem = quoted(part) + " is not a figure (" +
                      (withStep ? "current, minimum, maximum, default, step"
                                : "current, minimum, maximum, default") +
                      ", each with its number; pass N; unsupported)";
            return std::nullopt;
        }
        if (field->given) {
            problem = std::string(field->name) + " is given twice";
            return std::nullopt;
        }
        const auto number = parseNumber<std::int32_t>(trim(part.substr(space)), problem);
        if (!number) {
            problem = std::string(field->name).append(": ").append(problem);
            return std::nullopt;
        }
        f.*field->value = *number;
        field->given = true;
    }
    if (f.supported) {
        for (const Field& x : fields) {
            if (x.required && !x.given) {
                problem = std::string(x.name) +
                          " is missing (a supported entry needs every figure; "
                          "or say 'unsupported')";
                return std::nullopt;
            }
        }
    }
    if (f.minimum > f.maximum) {
        problem = "minimum " + std::to_string(f.minimum) + " is above maximum " + std::to_string(f.maximum);
        return std::nullopt;
    }
    return f;
}

std::optional<std::u16string> parseText(std::string_view text, std::size_t maxUnits, std::string& problem) {
    auto wide = utf16FromUtf8(text);
    if (!wide) {
        problem = "is not UTF-8 text without control characters";
        return std::nullopt;
    }
    if (wide->empty() || wide->size() > maxUnits) {
        problem = "needs 1 to " + std::to_string(maxUnits) + " characters (has " +
                  std::to_string(wide->size()) + ")";
        return std::nullopt;
    }
    return wide;
}

std::size_t Parser::sectionCount(Section s) const {
    switch (s) {
        case Section::machine:
            return m_machineSeen ? 1 : 0;
        case Section::pciDevice:
            return m_machine.pciDevices.size();
        case Section::nvidiaCard:
            return m_machine.nvidiaCards.size();
        case Section::amdCard:
            return m_machine.amdCards.size();
        case Section::lumbraItem:
            return m_machine.lumbraItems.size();
        case Section::none:
            break;
    }
    return 0;
}

void Parser::beginSection(int line, std::string_view name) {
    endSection();
    m_kind = nullptr;
    const auto* const kind = std::find_if(std::begin(kSections), std::end(kSections),
                                          [&](const SectionKind& k) { return name == k.name; });
    if (kind == std::end(kSections)) {
        error(line, "unknown section [" + std::string(name) +
                        "] (sections: machine, pci-device, nvidia-card, amd-card, lumbra-item)");
        return;
    }
    if (sectionCount(kind->section) >= kind->capacity) {
        error(line, kind->section == Section::machine
                        ? std::string("a second [machine] section")
                        : "a machine holds at most " + std::to_string(kind->capacity) + " " + kind->what);
        return;
    }
    m_kind = kind;
    m_sectionLine = line;
    m_keys.clear();
    switch (kind->section) {
        case Section::machine:
            m_machineSeen = true;
            break;
        case Section::pciDevice:
            m_machine.pciDevices.emplace_back();
            m_deviceLines.push_back(line);
            break;
        case Section::nvidiaCard:
            m_machine.nvidiaCards.emplace_back();
            break;
        case Section::amdCard:
            m_machine.amdCards.emplace_back();
            m_machine.amdCards.back().adapterId = static_cast<std::int32_t>(m_machine.amdCards.size() - 1);
            break;
        case Section::lumbraItem:
            m_machine.lumbraItems.emplace_back();
            m_itemLines.push_back(line);
            break;
        case Section::none:
            break;
    }
}

void Parser::requireKeys(std::initializer_list<const char*> keys) {
    for (const char* key : keys)
        if (!seen(key)) error(m_sectionLine, "[" + std::string(m_kind->name) + "] has no " + key);
}

void Parser::endSection() {
    if (!m_kind) return;
    switch (m_kind->section) {
        case Section::pciDevice: {
            requireKeys({"instance-id"});
            if (seen("device") != seen("function"))
                error(m_sectionLine, "[pci-device] needs both device and function, or neither");
            const PciDeviceDescription& d = m_machine.pciDevices.back();
            for (std::size_t i = 0; i + 1 < m_machine.pciDevices.size() && !d.instanceId.empty(); ++i) {
                if (equalsIgnoringAsciiCase(m_machine.pciDevices[i].instanceId, d.instanceId))
                    error(m_sectionLine, "instance id already used by the device at line " +
                                             std::to_string(m_deviceLines[i]));
            }
            break;
        }
        case Section::nvidiaCard:
        case Section::amdCard:
            requireKeys({"name"});
            break;
        case Section::lumbraItem: {
            requireKeys({"id", "base", "step", "steps", "default-step", "current-step"});
            const LumbraItemDescription& item = m_machine.lumbraItems.back();
            const auto checkStep = [&](const char* key, std::int32_t s) {
                if (seen(key) && seen("steps") && (s < 0 || s >= item.stepCount))
                    error(m_sectionLine, std::string(key) + " " + std::to_string(s) + " is not one of the " +
                                             std::to_string(item.stepCount) + " steps (0 to " +
                                             std::to_string(item.stepCount - 1) + ")");
            };
            checkStep("default-step", item.defaultStep);
            checkStep("current-step", item.currentStep);
            for (std::size_t i = 0; i + 1 < m_machine.lumbraItems.size() && seen("id"); ++i) {
                if (m_machine.lumbraItems[i].id == item.id)
                    error(m_sectionLine,
                          "item id already used by the item at line " + std::to_string(m_itemLines[i]));
            }
            break;
        }
        case Section::machine:
        case Section::none:
            break;
    }
    m_kind = nullptr;
}

std::string Parser::machineKey(std::string_view key, std::string_view value) {
    if (key != "name") return "unknown key (machine keys: name)";
    std::string problem;
    if (!parseText(value, kMachineNameBytes - 1, problem)) return problem;
    if (value.size() >= kMachineNameBytes)
        return "is longer than " + std::to_string(kMachineNameBytes - 1) + " bytes";
    m_machine.name = std::string(value);
    return {};
}

std::string Parser::pciDeviceKey(std::string_view key, std::string_view value) {
    PciDeviceDescription& d = m_machine.pciDevices.back();
    std::string problem;
    if (key == "instance-id") {
        if (!isDeviceIdText(value)) return "is not a device id (printable ASCII without spaces or commas)";
        if (value.size() >= kInstanceIdUnits)
            return "is longer than " + std::to_string(kInstanceIdUnits - 1) + " characters";
        d.instanceId = asciiToUtf16(value);
    } else if (key == "compatible-ids") {
        std::vector<std::u16string> ids;
        std::size_t units = 1;  // the list's closing terminator
        if (!value.empty()) {
            for (std::string_view id : split(value, ',')) {
                if (!isDeviceIdText(id))
                    return quoted(id) +
                           " is not a device id (printable ASCII without spaces; commas separate ids)";
                ids.push_back(asciiToUtf16(id));
                units += id.size() + 1;
            }
        }
        if (units > kCompatibleIdsUnits)
            return "the list takes " + std::to_string(units) +
                   " characters with its terminators; a device holds " + std::to_string(kCompatibleIdsUnits);
        d.compatibleIds = std::move(ids);
    } else if (key == "description") {
        auto text = parseText(value, kDescriptionUnits - 1, problem);
        if (!text) return problem;
        d.description = std::move(*text);
    } else if (key == "bus") {
        const auto n = parseNumber<std::uint32_t>(value, problem);
        if (!n) return problem;
        d.busNumber = *n;
    } else if (key == "device" || key == "function") {
        const auto n = parseNumber<std::uint16_t>(value, problem);
        if (!n) return problem;
        const std::uint32_t address = d.address.value_or(0);
        d.address =
            key == "device" ? (address & 0xFFFFu) | std::uint32_t{*n} << 16 : (address & 0xFFFF0000u) | *n;
    } else {
        return "unknown key (pci-device keys: instance-id, compatible-ids, description, bus, device, "
               "function)";
    }
    return {};
}

// The clock entries and plain numbers of a card or item, by key.
template <typename Record>
struct FigureKeys {
    std::vector<std::pair<std::string_view, ClockFigures Record::*>> clocks;
    std::vector<std::pair<std::string_view, std::int32_t Record::*>> numbers;
    bool clocksHaveSteps = false;
};

// Takes a value for one of the figures: none when the key names no figure, else the problem with
// the value (empty when it was taken).
template <typename Record>
std::optional<std::string> figureKey(Record& record, const FigureKeys<Record>& keys, std::string_view key,
                                     std::string_view value) {
    std::string problem;
    for (const auto& [name, entry] : keys.clocks) {
        if (key != name) continue;
        if (const auto clock = parseClock(value, keys.clocksHaveSteps, problem)) record.*entry = *clock;
        return problem;
    }
    for (const auto& [name, number] : keys.numbers) {
        if (key != name) continue;
        if (const auto n = parseNumber<std::int32_t>(value, problem)) record.*number = *n;
        return problem;
    }
    return std::nullopt;
}

std::string Parser::nvidiaCardKey(std::string_view key, std::string_view value) {
    using Card = NvidiaCardDescription;
    static const FigureKeys<Card> kFigures{
        {{"core", &Card::core}, {"memory", &Card::memory}, {"voltage", &Card::voltage}, {"fan", &Card::fan}},
        {{"memory-mb", &Card::memoryMegabytes}, {"usage", &Card::usage}, {"mode", &Card::mode}}};
    Card& card = m_machine.nvidiaCards.back();
    if (auto problem = figureKey(card, kFigures, key, value)) return *problem;
    if (key != "name")
        return "unknown key (nvidia-card keys: name, core, memory, voltage, fan, memory-mb, usage, mode)";
    // The back end hands the name over as 8-bit text: ASCII keeps it the same in every code page.
    const bool ascii = std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (!ascii || value.empty() || value.size() >= kNvidiaNameBytes)
        return "needs 1 to " + std::to_string(kNvidiaNameBytes - 1) + " printable ASCII characters";
    card.name = std::string(value);
    return {};
}

std::string Parser::amdCardKey(std::string_view key, std::string_view value) {
    using Card = AmdCardDescription;
    static const FigureKeys<Card> kFigures{
        {{"core", &Card::core}, {"memory", &Card::memory}, {"voltage", &Card::voltage}},
        {{"usage", &Card::usage},
         {"frequency", &Card::frequency},
         {"adapter-id", &Card::adapterId},
         {"connected", &Card::connected},
         {"hybrid-mode", &Card::hybridMode}},
        true};
    Card& card = m_machine.amdCards.back();
    if (auto problem = figureKey(card, kFigures, key, value)) return *problem;
    std::string problem;
    if (key == "name") {
        auto name = parseText(value, kAmdNameUnits - 1, problem);
        if (name) card.name = std::move(*name);
    } else if (key == "integrated") {
        const auto yes = parseYesNo(value, problem);
        if (yes) card.integrated = *yes;
    } else {
        return "unknown key (amd-card keys: name, integrated, core, memory, voltage, usage, frequency, "
               "adapter-id, connected, hybrid-mode)";
    }
    return problem;
}

std::string Parser::lumbraItemKey(std::string_view key, std::string_view value) {
    using Item = LumbraItemDescription;
    static const FigureKeys<Item> kFigures{{},
                                           {{"base", &Item::base},
                                            {"step", &Item::step},
                                            {"steps", &Item::stepCount},
                                            {"default-step", &Item::defaultStep},
                                            {"current-step", &Item::currentStep}}};
    Item& item = m_machine.lumbraItems.back();
    if (auto problem = figureKey(item, kFigures, key, value)) {
        if (problem->empty() && key == "steps" && item.stepCount < 1) return "an item has at least 1 step";
        return *problem;
    }
    std::string problem;
    if (key == "id") {
        const auto id = parseNumber<std::uint32_t>(value, problem);
        if (id) item.id = *id;
    } else if (key == "supported") {
        const auto yes = parseYesNo(value, problem);
        if (yes) item.supported = *yes;
    } else {
        return "unknown key (lumbra-item keys: id, supported, base, step, steps, default-step, current-step)";
    }
    return problem;
}

void Parser::keyValue(int line, std::string_view key, std::string_view value) {
    if (!m_kind) {
        // Keys of a section that was refused are not reported again.
        if (m_sectionLine == 0) error(line, "'" + std::string(key) + "' stands before any [section]");
        return;
    }
    const std::string where = "[" + std::string(m_kind->name) + "] " + std::string(key) + ": ";
    if (seen(key)) {
        error(line, where + "given twice in this section");
        return;
    }
    m_keys.emplace_back(key);
    std::string problem;
    switch (m_kind->section) {
        case Section::machine:
            problem = machineKey(key, value);
            break;
        case Section::pciDevice:
            problem = pciDeviceKey(key, value);
            break;
        case Section::nvidiaCard:
            problem = nvidiaCardKey(key, value);
            break;
        case Section::amdCard:
            problem = amdCardKey(key, value);
            break;
        case Section::lumbraItem:
            problem = lumbraItemKey(key, value);
            break;
        case Section::none:
            break;
    }
    if (!problem.empty()) error(line, where + problem);
}

DescriptionResult Parser::run(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    int line = 0;
    for (std::string_view raw : split(text, '\n')) {
        ++line;
        const std::string_view s = trim(raw.substr(0, raw.find('\r')));
        if (s.empty() || s.front() == '#' || s.front() == ';') continue;
        if (s.front() == '[') {
            if (s.back() != ']') {
                endSection();
                error(line, "a section header ends with ']'");
                m_sectionLine = line;
                continue;
            }
            beginSection(line, trim(s.substr(1, s.size() - 2)));
            if (!m_kind) m_sectionLine = line;
            continue;
        }
        const std::size_t equals = s.find('=');
        if (equals == std::string_view::npos || trim(s.substr(0, equals)).empty()) {
            error(line, "expected 'key = value' or '[section]', found " + quoted(s));
            continue;
        }
        keyValue(line, trim(s.substr(0, equals)), trim(s.substr(equals + 1)));
    }
    endSection();
    DescriptionResult result;
    if (m_errors.empty()) result.machine = std::move(m_machine);
    result.errors = std::move(m_errors);
    return result;
}

}  // namespace

DescriptionResult parseMachineDescription(std::string_view text) { return Parser().run(text); }

MachineDescription defaultMachine() {
    DescriptionResult result = parseMachineDescription(defaultMachineText());
    // The default ships with the board and is checked by its tests; failing here is a broken build.
    if (!result.machine)
        throw std::logic_error("the default machine description is broken: " + result.errors.front());
    return std::move(*result.machine);
}

}  // namespace simboard
