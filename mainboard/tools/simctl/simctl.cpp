// simctl: inspects the simulated mainboard and injects faults and hardware events into it.

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mainboard/machine/BoardText.h"
#include "mainboard/machine/Hardware.h"
#include "mainboard/machine/Machine.h"
#include "mainboard/machine/Translations.h"
#include "mainboard/tools/common/BoardReport.h"
#include "mainboard/tools/common/LineFeedOutput.h"
#include "mainboard/tools/common/LinkVerbs.h"
#include "mainboard/tools/common/ServerStartup.h"
#include "protocol/Broadcast.h"
#include "protocol/RemoteLink.h"
#include "win32/Handles.h"
#include "win32/Text.h"
#include "win32/WindowWord.h"

namespace {

using namespace simboard;

// Where the maker's suite states its version; the About box shows it.
constexpr wchar_t kSuiteKey[] = L"SOFTWARE\\NOVU\\NOVU Vexolink";
constexpr wchar_t kVersionValue[] = L"Version";

int usage() {
    std::fputs(
        "usage: simctl reset                     power-on state: the default machine, registers, "
        "registration,\n"
        "                                        faults, journal\n"
        "       simctl registers [--json]        the ACPI registers and the notification registration\n"
        "       simctl journal [--since SEQ] [--last N]   every call that reached a stand-in, as JSON lines\n"
        "       simctl wait-defaults [--timeout-ms MS]   wait until the journal holds the server's\n"
        "                                        start-up defaults, every run to every card index, counted\n"
        "                                        since the reset (at most MS, default 60000; else exit 1)\n"
        "       simctl fault NAME [N|always|off] [--device K] [--card K] [--item ID] [--property P] [--error "
        "E]\n"
        "                    [--value V]         let the next N calls (default 1) of NAME fail, aimed as\n"
        "                                        the fault allows (see simctl faults)\n"
        "       simctl faults [--json]           the fault switches, their aim and what they do\n"
        "       simctl machine FILE|--default    load a machine description (nothing changes if it is bad)\n"
        "       simctl cards                     the machine's devices, cards and items, with their values\n"
        "       simctl event LPARAM [WPARAM]     broadcast a hardware event (WM_NOVU_BROADCAST_MESSAGE)\n"
        "       simctl language NAME|LANGID|--user   the language NuMultiLang.dll translates into (en, "
        "zh-TW,\n"
        "                                        de, ja or a language id); --user: the user's UI language\n"
        "       simctl version TEXT|--remove     set or remove the installed suite's version, the\n"
        "                                        registry value that the About box shows\n",
        stderr);
    return 1;
}

std::optional<std::uint32_t> numberArg(int argc, char** argv, int i) {
    if (i >= argc) return std::nullopt;
    const auto n = parseNumber(argv[i]);
    if (!n) std::fprintf(stderr, "simctl: '%s' is not a 32-bit number\n", argv[i]);
    return n;
}

// For people, or with --json one object for scripts.
int registers(Machine& m, bool json) {
    const MachineLayout& s = m.state();
    const auto window = loadWord(s.notify.window);
    const char* windowState = window == 0                                 ? "none"
                              : ::IsWindow(win32::windowFromWord(window)) ? "alive"
                                                                          : "gone";
    if (json) {
        printJsonLine({{"flag", loadWord(s.registers.flag)},
                       {"selector", loadWord(s.registers.selector)},
                       {"words",
                        {loadWord(s.registers.words[0]), loadWord(s.registers.words[1]),
                         loadWord(s.registers.words[2])}},
                       {"notify",
                        {{"window", window},
                         {"window_state", windowState},
                         {"attempts", loadWord(s.notify.attempts)},
                         {"accepted", loadWord(s.notify.registrations)}}}});
        return 0;
    }
    std::printf("flag      0x%08X\nselector  0x%08X\nword 0    0x%08X\nword 1    0x%08X\nword 2    0x%08X\n",
                loadWord(s.registers.flag), loadWord(s.registers.selector), loadWord(s.registers.words[0]),
                loadWord(s.registers.words[1]), loadWord(s.registers.words[2]));
    std::printf("notify    window 0x%08X (%s), %u registration attempts, %u accepted\n", window, windowState,
                loadWord(s.notify.attempts), loadWord(s.notify.registrations));
    return 0;
}

int journal(Machine& m, int argc, char** argv) {
    std::uint64_t since = 0;
    std::size_t last = 0;
    for (int i = 2; i < argc; i += 2) {
        const std::string_view option = argv[i];
        const auto n = numberArg(argc, argv, i + 1);
        if (!n) return usage();
        if (option == "--since")
            since = *n;
        else if (option == "--last")
            last = *n;
        else
            return usage();
    }
    const auto entries = readJournal(m.state(), since);
    const std::size_t first = last && entries.size() > last ? entries.size() - last : 0;
    for (std::size_t i = first; i < entries.size(); ++i) {
        const JournalRecord& e = entries[i];
        printJsonLine({{"seq", e.seq},
                       {"us", e.timeUs},
                       {"pid", e.processId},
                       {"library", e.library},
                       {"entry", e.entry},
                       {"args", e.args},
                       {"result", e.result}});
    }
    return 0;
}

// Counts the fan settings on the journal since the board's reset as they come, polling it: after a
// reset, the first ones are the server's start-up defaults. A set-all makes fan settings too, while
// the server handles its request (from its flag read of 1 to its flag write): those are not counted,
// or a set-all sent during the defaults would end the wait a run early.
int waitDefaults(Machine& m, int argc, char** argv) {
    constexpr DWORD kPollMs = 50;
    std::uint32_t timeoutMs = 60000;  // as the usage says
    if (argc == 4 && std::string_view(argv[2]) == "--timeout-ms") {
        const auto n = numberArg(argc, argv, 3);
        if (!n) return usage();
        timeoutMs = *n;
    } else if (argc != 2) {
        return usage();
    }
    using namespace server_startup;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    std::size_t settings = 0;
    bool handlingRequest = false;
    for (std::uint64_t seen = 0;;) {
        for (const JournalRecord& e : readJournal(m.state(), seen)) {
            seen = e.seq;
            if (isFlagAccess(e, "Read")) handlingRequest = e.args[1] == wire::kFlagRequestWaiting;
            if (isFlagAccess(e, "Write")) handlingRequest = false;
            if (e.entry == kDefaultFanEntry && !handlingRequest) ++settings;
        }
        if (settings >= kDefaultFanSettings) {
            std::printf("defaults applied: %zu fan settings (%zu runs x %zu card indices)\n",
                        kDefaultFanSettings, kDefaultRuns, kCardIndices);
            return 0;
        }
        if (::GetTickCount64() >= deadline) break;
        ::Sleep(kPollMs);
    }
    std::fprintf(stderr,
                 "simctl: the start-up defaults were not applied within %u ms: the journal holds %zu of %zu "
                 "fan settings (is the server running?)\n",
                 timeoutMs, settings, kDefaultFanSettings);
    return 1;
}

const FaultName* findFault(std::string_view name) {
    for (const FaultName& f : kFaultNames)
        if (name == f.name) return &f;
    return nullptr;
}

// For people, or with --json one object for scripts: each switch by its name.
int faults(Machine& m, bool json) {
    FaultSwitches& switches = m.state().faults;
    Json object = Json::object();
    for (const FaultName& f : kFaultNames) {
        const FaultDetail detail = f.detail ? faultDetail(switches.*f.detail) : FaultDetail{};
        if (json) {
            object[f.name] = faultStateJson(f, faultValue(switches.*f.counter), detail);
            continue;
        }
        std::printf("%-22s %-46s %s\n", f.name,
                    describeFaultState(f, faultValue(switches.*f.counter), detail).c_str(), f.meaning);
    }
    if (json) printJsonLine(object);
    return 0;
}

int fault(Machine& m, int argc, char** argv) {
    if (argc < 3) return usage();
    const FaultName* f = findFault(argv[2]);
    if (!f) {
        std::fprintf(stderr, "simctl: no fault named '%s' (see: simctl faults)\n", argv[2]);
        return 1;
    }
    const std::vector<std::string_view> args(argv + 3, argv + argc);
    const auto setting = parseFaultSetting(*f, args);
    if (const auto* error = std::get_if<std::string>(&setting)) {
        std::fprintf(stderr, "simctl: %s\n", error->c_str());
        return 1;
    }
    const FaultSetting& s = std::get<FaultSetting>(setting);
    FaultSwitches& switches = m.state().faults;
    if (f->detail) setFaultDetail(switches.*f->detail, s.detail);  // aimed before it is armed
    setFault(switches.*f->counter, s.counter);
    return 0;
}

// The file's bytes; none (with the reason on stderr) when it cannot be read or is too large to be
// a description.
std::optional<std::string> readDescription(const char* path) {
    constexpr DWORD kLargest = 1u << 20;
    win32::UniqueHandle file(::CreateFileW(win32::widen(path, CP_ACP).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) {
        std::fprintf(stderr, "simctl: cannot open %s (error %lu)\n", path, ::GetLastError());
        return std::nullopt;
    }
    if (size.QuadPart > kLargest) {
        std::fprintf(stderr, "simctl: %s is %lld bytes; a machine description has at most %lu\n", path,
                     size.QuadPart, kLargest);
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) ||
        read != text.size()) {
        std::fprintf(stderr, "simctl: cannot read %s (error %lu)\n", path, ::GetLastError());
        return std::nullopt;
    }
    return text;
}

// A description without a name is known by its file's name.
std::string fileStem(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    name = name.substr(0, name.rfind('.'));
    return std::string(name.substr(0, kMachineNameBytes - 1));
}

int machine(Machine& m, int argc, char** argv) {
    if (argc != 3) return usage();
    const std::string_view source = argv[2];
    MachineDescription description;
    if (source == "--default") {
        description = defaultMachine();
    } else {
        const auto text = readDescription(argv[2]);
        if (!text) return 1;
        DescriptionResult result = parseMachineDescription(*text);
        if (!result.machine) {
            for (const std::string& e : result.errors)
                std::fprintf(stderr, "simctl: %s: %s\n", argv[2], e.c_str());
            std::fputs("simctl: the machine was not changed\n", stderr);
            return 1;
        }
        description = std::move(*result.machine);
        if (description.name.empty()) description.name = fileStem(source);
    }
    m.load(description);
    const auto count = [](const auto& parts) { return static_cast<unsigned>(parts.size()); };
    std::printf("simctl: machine %s: %u PCI devices, %u NVIDIA cards, %u AMD cards, %u Lumbra items\n",
                description.name.c_str(), count(description.pciDevices), count(description.nvidiaCards),
                count(description.amdCards), count(description.lumbraItems));
    return 0;
}

int event(int argc, char** argv) {
    const auto lParam = numberArg(argc, argv, 2);
    const auto wParam = argc > 3 ? numberArg(argc, argv, 3) : std::optional<std::uint32_t>(0);
    if (!lParam || !wParam || argc > 4) return usage();
    const UINT message = ::RegisterWindowMessageA(wire::kHardwareBroadcastName);
    if (!::PostMessageA(HWND_BROADCAST, message, *wParam, static_cast<LPARAM>(*lParam))) {
        std::fprintf(stderr, "simctl: the broadcast failed (error %lu)\n", ::GetLastError());
        return 1;
    }
    return 0;
}

int language(Machine& m, int argc, char** argv) {
    if (argc != 3) return usage();
    const std::string_view choice = argv[2];
    std::optional<std::uint32_t> id = choice == "--user" ? 0u : languageNamed(choice);
    if (!id) id = parseNumber(choice);
    if (!id || *id > 0xFFFF) {
        std::fprintf(stderr, "simctl: '%s' is no language (en, zh-TW, de, ja, a language id or --user)\n",
                     argv[2]);
        return 1;
    }
    storeWord(m.state().uiLanguage, *id);
    return 0;
}

// The text as REG_SZ (a value of the system's 8-bit text, as typed), or no value at all.
int version(int argc, char** argv) {
    if (argc != 3) return usage();
    const std::string_view choice = argv[2];
    LSTATUS status = ERROR_SUCCESS;
    if (choice == "--remove") {
        status = ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSuiteKey, kVersionValue);
        if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;  // none is what was asked for
    } else {
        const std::wstring text = win32::widen(choice, CP_ACP);
        status = ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSuiteKey, kVersionValue, REG_SZ, text.c_str(),
                                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "simctl: the registry refused the version (error %ld)\n",
                     static_cast<long>(status));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    printWithLineFeeds();
    if (argc < 2) return usage();
    const std::string_view command = argv[1];
    if (command == "event") return event(argc, argv);
    if (command == "version") return version(argc, argv);
    Machine& m = Machine::instance();
    if (command == "reset" && argc == 2) {
        m.reset();
        return 0;
    }
    if (command == "registers" && argc == 2) return registers(m, false);
    if (command == "registers" && argc == 3 && std::string_view(argv[2]) == "--json")
        return registers(m, true);
    if (command == "journal") return journal(m, argc, argv);
    if (command == "wait-defaults") return waitDefaults(m, argc, argv);
    if (command == "faults" && argc == 2) return faults(m, false);
    if (command == "faults" && argc == 3 && std::string_view(argv[2]) == "--json") return faults(m, true);
    if (command == "fault") return fault(m, argc, argv);
    if (command == "machine") return machine(m, argc, argv);
    if (command == "language") return language(m, argc, argv);
    if (command == "cards" && argc == 2) {
        std::fputs(describeHardware(*hardwareSnapshot(m.state())).c_str(), stdout);
        return 0;
    }
    return usage();
}
