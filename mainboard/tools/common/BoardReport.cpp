#include "mainboard/tools/common/BoardReport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "mainboard/machine/BoardText.h"
#include "mainboard/machine/Hardware.h"
#include "mainboard/tools/common/LinkVerbs.h"

namespace simboard {

namespace {

std::string utf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string format(const char* pattern, auto... values) {
    char line[512];
    std::snprintf(line, sizeof line, pattern, values...);
    return line;
}

std::string hex(std::uint32_t value) { return format("0x%X", value); }

std::string entryLine(const char* name, std::int32_t current, std::int32_t minimum, std::int32_t maximum,
                      std::int32_t defaultValue, bool supported) {
    return format("     %-8s %-12s current %-6d minimum %-6d maximum %-6d default %d", name,
                  supported ? "" : "unsupported", current, minimum, maximum, defaultValue);
}

void describeDevice(std::string& out, std::uint32_t index, const PciDeviceSlot& d) {
    out += format("  %-2u %s\n", index, utf8(instanceId(d)).c_str());
    const auto description = deviceProperty(d, kPropertyDescription, false);
    out += "     description     " +
           (description ? utf8({reinterpret_cast<const char16_t*>(description->bytes.data()),
                                description->bytes.size() / 2})
                        : std::string("(none)")) +
           "\n";
    std::string ids = (d.properties & kHasCompatibleIds) ? "" : "(none)";
    for (std::uint32_t at = 0; at + 1 < d.compatibleIdsLength;) {
        const std::u16string_view id(d.compatibleIds + at);
        ids += (at == 0 ? "" : ", ") + utf8(id);
        at += static_cast<std::uint32_t>(id.size()) + 1;
    }
    out += "     compatible ids  " + ids + "\n";
    out += "     location        ";
    out += (d.properties & kHasBusNumber) ? format("bus %u", d.busNumber) : std::string("no bus number");
    out += (d.properties & kHasAddress) ? format(", device %u, function %u (address %s)", d.address >> 16,
                                                 d.address & 0xFFFF, format("0x%08X", d.address).c_str())
                                        : std::string(", no address");
    out += "\n";
}

const char* propertyName(std::uint32_t property) {
    const auto* const named = std::find_if(std::begin(kPropertyNames), std::end(kPropertyNames),
                                           [&](const PropertyName& p) { return p.property == property; });
    return named != std::end(kPropertyNames) ? named->name : nullptr;
}

}  // namespace

std::string describeHardware(const MachineHardware& h) {
    std::string out = "machine " + std::string(h.name, strnlen(h.name, sizeof h.name)) + "\n";
    const auto heading = [&](const char* what, std::uint32_t count) {
        out += format("%s: %s\n", what, count ? std::to_string(count).c_str() : "none");
    };
    heading("PCI devices (setupapi)", h.pciDeviceCount);
    for (std::uint32_t i = 0; i < std::min(h.pciDeviceCount, kMaxPciDevices); ++i)
        describeDevice(out, i, h.pciDevices[i]);

    heading("NVIDIA cards (Greencard)", h.nvidiaCardCount);
    constexpr const char* kNvNames[] = {"core", "memory", "voltage", "fan"};
    for (std::uint32_t i = 0; i < std::min(h.nvidiaCardCount, kMaxNvidiaCards); ++i) {
        const NvidiaCardSlot& card = h.nvidiaCards[i];
        out += format("  %-2u %s   (memory %d MB, usage %d, mode %d)\n", i,
                      std::string(card.name, strnlen(card.name, sizeof card.name)).c_str(),
                      card.memoryMegabytes, card.usage, card.mode);
        for (int e = 0; e < kNvEntryCount; ++e) {
            const NvClockEntry& x = card.clocks.entries[e];
            out += entryLine(kNvNames[e], x.current, x.minimum, x.maximum, x.defaultValue, x.supported != 0) +
                   (x.passThrough ? format(" pass %d", x.passThrough) : std::string()) + "\n";
        }
    }

    heading("AMD cards (Redcard)", h.amdCardCount);
    constexpr const char* kAmdNames[] = {"core", "memory", "voltage"};
    for (std::uint32_t i = 0; i < std::min(h.amdCardCount, kMaxAmdCards); ++i) {
        const AmdCardSlot& card = h.amdCards[i];
        out +=
            format("  %-2u %s   (%s; usage %d, frequency %d, adapter id %d, connected %d, hybrid mode %d)\n",
                   i, utf8(card.name).c_str(), card.integrated ? "integrated" : "discrete", card.usage,
                   card.frequency, card.adapterId, card.connected, card.hybridMode);
        for (int e = 0; e < kAmdEntryCount; ++e) {
            const AmdClockEntry& x = card.clocks.entries[e];
            out +=
                entryLine(kAmdNames[e], x.current, x.minimum, x.maximum, x.defaultValue, x.supported != 0) +
                format(" step %d\n", x.step);
        }
    }

    heading("Lumbra items", h.lumbraItemCount);
    for (std::uint32_t i = 0; i < std::min(h.lumbraItemCount, kMaxLumbraItems); ++i) {
        const LumbraItemSlot& item = h.lumbraItems[i];
        const GgrpItemInfo& x = item.info;
        const auto value = [&](std::int32_t step) { return static_cast<long long>(step) * x.step + x.base; };
        out += format("  %-10s %-12s step %d of 0..%d = %lld   (base %d, step %d; default step %d = %lld)\n",
                      hex(item.id).c_str(), item.supported ? "" : "unsupported", item.currentStep,
                      x.stepCount - 1, value(item.currentStep), x.base, x.step, x.defaultStep,
                      value(x.defaultStep));
    }
    return out;
}

std::string describeFaultState(const FaultName& fault, std::int32_t counter, const FaultDetail& detail) {
    const std::string state = counter == kFaultAlways ? "always"
                              : counter == 0          ? "off"
                                                      : "next " + std::to_string(counter);
    std::string aim;
    const auto add = [&](const std::string& part) { aim += (aim.empty() ? "" : ", ") + part; };
    const auto target = [&](const char* what) {
        add(detail.target == kAnyTarget
                ? std::string("any ") + what
                : std::string(what) + " " +
                      (fault.options & kItemOption ? hex(detail.target) : std::to_string(detail.target)));
    };
    if (fault.options & kDeviceOption) target("device");
    if (fault.options & kCardOption) target("card");
    if (fault.options & kItemOption) target("item");
    if (fault.options & kPropertyOption) {
        const char* const named = propertyName(detail.property);
        add(detail.property == kAnyProperty ? std::string("any property")
            : named                         ? std::string("property ") + named
                                            : "property " + hex(detail.property));
    }
    if (fault.options & kErrorOption) add("error " + std::to_string(detail.code));
    if (fault.options & kValueOption) add(format("value %d", static_cast<std::int32_t>(detail.code)));
    return format("%-10s %s", state.c_str(), aim.c_str());
}

Json faultStateJson(const FaultName& fault, std::int32_t counter, const FaultDetail& detail) {
    Json out = {{"state", counter == kFaultAlways ? "always"
                          : counter == 0          ? "off"
                                                  : "next"},
                {"next", counter == kFaultAlways ? 0 : counter}};
    const auto target = [&](const char* what) {
        out[what] = detail.target == kAnyTarget ? Json() : Json(detail.target);
    };
    if (fault.options & kDeviceOption) target("device");
    if (fault.options & kCardOption) target("card");
    if (fault.options & kItemOption) target("item");
    if (fault.options & kPropertyOption) {
        const char* const named = propertyName(detail.property);
        out["property"] = detail.property == kAnyProperty ? Json()
                          : named                         ? Json(named)
                                                          : Json(detail.property);
    }
    if (fault.options & kErrorOption) out["error"] = detail.code;
    if (fault.options & kValueOption) out["value"] = static_cast<std::int32_t>(detail.code);
    return out;
}

std::variant<FaultSetting, std::string> parseFaultSetting(const FaultName& fault,
                                                          std::span<const std::string_view> args) {
    FaultSetting setting;
    setting.detail.code = fault.defaultCode;
    std::size_t i = 0;
    if (i < args.size() && !args[i].starts_with("--")) {
        const std::string_view count = args[i++];
        const auto n = parseNumber(count);
        if (count == "always")
            setting.counter = kFaultAlways;
        else if (count == "off")
            setting.counter = 0;
        else if (n && *n <= 0x7FFFFFFF)
            setting.counter = static_cast<std::int32_t>(*n);
        else
            return "'" + std::string(count) + "' is not a count (N, always or off)";
    }
    struct Option {
        const char* name;
        FaultOption option;
        std::uint32_t FaultDetail::*field;
    };
    constexpr Option kOptions[] = {
        {"--device", kDeviceOption, &FaultDetail::target},
        {"--card", kCardOption, &FaultDetail::target},
        {"--item", kItemOption, &FaultDetail::target},
        {"--property", kPropertyOption, &FaultDetail::property},
        {"--error", kErrorOption, &FaultDetail::code},
        {"--value", kValueOption, &FaultDetail::code},
    };
    std::string takes;
    for (const Option& o : kOptions)
        if (fault.options & o.option) takes += std::string(takes.empty() ? "" : ", ") + o.name;
    for (; i < args.size(); i += 2) {
        const auto* const option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                                [&](const Option& o) { return args[i] == o.name; });
        if (option == std::end(kOptions) || !(fault.options & option->option))
            return "fault " + std::string(fault.name) + " takes " + (takes.empty() ? "no options" : takes) +
                   ", not '" + std::string(args[i]) + "'";
        if (i + 1 >= args.size()) return std::string(option->name) + " needs a value";
        std::string_view text = args[i + 1];
        std::optional<std::uint32_t> value;
        if (option->option == kPropertyOption) {
            const auto* const named = std::find_if(std::begin(kPropertyNames), std::end(kPropertyNames),
                                                   [&](const PropertyName& p) { return text == p.name; });
            value = named != std::end(kPropertyNames) ? std::optional(named->property) : parseNumber(text);
        } else if (option->option == kValueOption && text.starts_with('-')) {
            value = parseNumber(text.substr(1));
            if (value && *value > 0x80000000u) value.reset();
            if (value) value = 0u - *value;
        } else {
            value = parseNumber(text);
        }
        if (!value) {
            std::string names;
            for (const PropertyName& p : kPropertyNames)
                names += std::string(names.empty() ? "" : ", ") + p.name;
            return std::string(option->name) + ": '" + std::string(text) + "' is not " +
                   (option->option == kPropertyOption ? "a property (" + names + ")"
                                                      : std::string("a 32-bit number"));
        }
        setting.detail.*option->field = *value;
    }
    return setting;
}

}  // namespace simboard
