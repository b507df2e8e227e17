// simctl: inspects the simulated mainboard and injects faults and hardware events into it.

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "mainboard/machine/Machine.h"
#include "mainboard/tools/common/LinkVerbs.h"

namespace {

using namespace simboard;

int usage() {
    std::fputs(
        "usage: simctl reset                     power-on state: registers, registration, faults, journal\n"
        "       simctl registers                 the ACPI registers and the notification registration\n"
        "       simctl journal [--since SEQ] [--last N]   every call that reached a stand-in, as JSON lines\n"
        "       simctl fault NAME [N|always|off] let the next N calls (default 1) of NAME fail\n"
        "       simctl faults                    the fault switches and what they do\n"
        "       simctl event LPARAM [WPARAM]     broadcast a hardware event (WM_NOVU_BROADCAST_MESSAGE)\n",
        stderr);
    return 1;
}

std::optional<std::uint32_t> numberArg(int argc, char** argv, int i) {
    if (i >= argc) return std::nullopt;
    const auto n = parseNumber(argv[i]);
    if (!n) std::fprintf(stderr, "simctl: '%s' is not a 32-bit number\n", argv[i]);
    return n;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            continue;
        }
        out += c;
    }
    return out + "\"";
}

int registers(Machine& m) {
    const MachineLayout& s = m.state();
    std::printf("flag      0x%08X\nselector  0x%08X\nword 0    0x%08X\nword 1    0x%08X\nword 2    0x%08X\n",
                loadWord(s.registers.flag), loadWord(s.registers.selector), loadWord(s.registers.words[0]),
                loadWord(s.registers.words[1]), loadWord(s.registers.words[2]));
    const auto window = loadWord(s.notify.window);
    std::printf("notify    window 0x%08X (%s), %u registration attempts, %u accepted\n", window,
                window == 0                                                              ? "none"
                : ::IsWindow(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window))) ? "alive"
                                                                                          : "gone",
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
        if (option == "--since") since = *n;
        else if (option == "--last") last = *n;
        else return usage();
    }
    const auto entries = readJournal(m.state(), since);
    const std::size_t first = last && entries.size() > last ? entries.size() - last : 0;
    for (std::size_t i = first; i < entries.size(); ++i) {
        const JournalRecord& e = entries[i];
        std::string args;
        for (std::uint32_t a : e.args) args += (args.empty() ? "" : ",") + std::to_string(a);
        std::printf("{\"seq\":%llu,\"us\":%llu,\"pid\":%u,\"library\":%s,\"entry\":%s,\"args\":[%s],\"result\":%d}\n",
                    static_cast<unsigned long long>(e.seq), static_cast<unsigned long long>(e.timeUs), e.processId,
                    jsonString(e.library).c_str(), jsonString(e.entry).c_str(), args.c_str(), e.result);
    }
    return 0;
}

const FaultName* findFault(std::string_view name) {
    for (const FaultName& f : kFaultNames)
        if (name == f.name) return &f;
    return nullptr;
}

int faults(Machine& m) {
    for (const FaultName& f : kFaultNames) {
        const std::int32_t v = faultValue(m.state().faults.*f.counter);
        const std::string state = v == kFaultAlways ? "always" : v == 0 ? "off" : "next " + std::to_string(v);
        std::printf("%-16s %-10s %s\n", f.name, state.c_str(), f.meaning);
    }
    return 0;
}

int fault(Machine& m, int argc, char** argv) {
    if (argc < 3 || argc > 4) return usage();
    const FaultName* f = findFault(argv[2]);
    if (!f) {
        std::fprintf(stderr, "simctl: no fault named '%s' (see: simctl faults)\n", argv[2]);
        return 1;
    }
    std::int32_t value = 1;
    if (argc == 4) {
        const std::string_view count = argv[3];
        if (count == "always") value = kFaultAlways;
        else if (count == "off") value = 0;
        else if (const auto n = parseNumber(count); n && *n <= 0x7FFFFFFF) value = static_cast<std::int32_t>(*n);
        else return usage();
    }
    setFault(m.state().faults.*f->counter, value);
    return 0;
}

int event(int argc, char** argv) {
    const auto lParam = numberArg(argc, argv, 2);
    const auto wParam = argc > 3 ? numberArg(argc, argv, 3) : std::optional<std::uint32_t>(0);
    if (!lParam || !wParam || argc > 4) return usage();
    const UINT message = ::RegisterWindowMessageA("WM_NOVU_BROADCAST_MESSAGE");
    if (!::PostMessageA(HWND_BROADCAST, message, *wParam, static_cast<LPARAM>(*lParam))) {
        std::fprintf(stderr, "simctl: the broadcast failed (error %lu)\n", ::GetLastError());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string_view command = argv[1];
    if (command == "event") return event(argc, argv);
    Machine& m = Machine::instance();
    if (command == "reset" && argc == 2) {
        m.reset();
        return 0;
    }
    if (command == "registers" && argc == 2) return registers(m);
    if (command == "journal") return journal(m, argc, argv);
    if (command == "faults" && argc == 2) return faults(m);
    if (command == "fault") return fault(m, argc, argv);
    return usage();
}
