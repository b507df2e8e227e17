// linkctl: the remote console. It plays the second machine on the remote-link port.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mainboard/machine/BoardText.h"
#include "mainboard/tools/common/LineFeedOutput.h"
#include "mainboard/tools/common/LinkVerbs.h"
#include "mainboard/tools/common/RemoteConsole.h"
#include "mainboard/tools/linkctl/Bench.h"
#include "mainboard/tools/linkctl/Soak.h"

namespace {

using namespace simboard;

constexpr DWORD kDefaultTimeoutMs = 2000;

int usage() {
    std::fputs(
        "usage: linkctl raw W0 W1 W2 [--timeout MS]\n"
        "       linkctl info|read|set NAME [--card N] [--core N] [--mem N] [--volt N] [--fan N] [--timeout "
        "MS]\n"
        "       linkctl notify WPARAM LPARAM\n"
        "       linkctl bench N [--spacing-ms MS] [--acpi PATH-TO-nuacpi.dll]\n"
        "       linkctl soak N [--seed S]     N random requests, each answer checked (after the server's\n"
        "                                      start-up defaults)\n"
        "       linkctl verbs\n"
        "numbers are decimal or 0x-hexadecimal\n",
        stderr);
    return 1;
}

int fail(const LinkResult& r) {
    std::fprintf(stderr, "linkctl: %s\n", r.error.c_str());
    return static_cast<int>(r.status);
}

struct Options {
    std::vector<std::string_view> positional;
    wire::RemoteRequest values;
    DWORD timeoutMs = kDefaultTimeoutMs;
    DWORD spacingMs = 0;
    std::string acpiPath;
    std::optional<std::uint32_t> seed;
    bool valid = true;
};

Options parseOptions(int argc, char** argv, int first) {
    Options o;
    for (int i = first; i < argc; ++i) {
        std::string_view a = argv[i];
        if (!a.starts_with("--")) {
            o.positional.push_back(a);
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "linkctl: %s needs a value\n", argv[i]);
            o.valid = false;
            break;
        }
        std::string_view text = argv[++i];
        if (a == "--acpi") {
            o.acpiPath = text;
            continue;
        }
        const auto n = parseNumber(text);
        std::uint32_t* field = a == "--card"   ? &o.values.cardIndex
                               : a == "--core" ? &o.values.core
                               : a == "--mem"  ? &o.values.memory
                               : a == "--volt" ? &o.values.voltage
                               : a == "--fan"  ? &o.values.fan
                                               : nullptr;
        if (a == "--timeout" && n) {
            o.timeoutMs = *n;
        } else if (a == "--spacing-ms" && n) {
            o.spacingMs = *n;
        } else if (a == "--seed" && n) {
            o.seed = n;
        } else if (!field || !n) {
            std::fprintf(stderr, "linkctl: bad option %s %s\n", argv[i - 1], argv[i]);
            o.valid = false;
        } else {
            *field = *n;
        }
    }
    return o;
}

int raw(const Options& o) {
    if (o.positional.size() != 3) return usage();
    Words words{};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto n = parseNumber(o.positional[i]);
        if (!n) {
            std::fprintf(stderr, "linkctl: '%.*s' is not a 32-bit number\n",
                         static_cast<int>(o.positional[i].size()), o.positional[i].data());
            return 1;
        }
        words[i] = *n;
    }
    RemoteConsole console(Machine::instance());
    const LinkResult r = console.request(words, o.timeoutMs);
    if (!r.ok()) return fail(r);
    std::printf("%s\n", hexWords(r.answer).c_str());
    return 0;
}

int verb(std::string_view group, const Options& o) {
    if (o.positional.size() != 1) return usage();
    const LinkVerb* v = findVerb(group, o.positional[0]);
    if (!v) {
        std::fprintf(stderr, "linkctl: no verb '%.*s %.*s' (see: linkctl verbs)\n",
                     static_cast<int>(group.size()), group.data(), static_cast<int>(o.positional[0].size()),
                     o.positional[0].data());
        return 1;
    }
    const Words request = buildRequest(*v, o.values);
    RemoteConsole console(Machine::instance());
    const LinkResult r = console.request(request, o.timeoutMs);
    if (!r.ok()) return fail(r);
    std::printf("%-58s %-44s %s -> %s\n", describeRequest(request).c_str(),
                describeAnswer(*v, r.answer).c_str(), hexWords(request).c_str(), hexWords(r.answer).c_str());
    return 0;
}

int verbs() {
    for (const LinkVerb& v : linkVerbs())
        std::printf("%-5.*s %-13.*s group %u command %2u  %.*s\n", static_cast<int>(v.group.size()),
                    v.group.data(), static_cast<int>(v.name.size()), v.name.data(), v.groupNumber, v.command,
                    static_cast<int>(v.meaning.size()), v.meaning.data());
    return 0;
}

int notify(const Options& o) {
    if (o.positional.size() != 2) return usage();
    const auto w = parseNumber(o.positional[0]), l = parseNumber(o.positional[1]);
    if (!w || !l) return usage();
    RemoteConsole console(Machine::instance());
    const LinkResult r = console.notify(*w, *l);
    return r.ok() ? 0 : fail(r);
}

}  // namespace

int main(int argc, char** argv) {
    printWithLineFeeds();
    if (argc < 2) return usage();
    const std::string_view command = argv[1];
    const Options o = parseOptions(argc, argv, 2);
    if (!o.valid) return 1;
    if (command == "raw") return raw(o);
    if (command == "info" || command == "read" || command == "set") return verb(command, o);
    if (command == "notify") return notify(o);
    if (command == "verbs") return verbs();
    if (command == "bench") {
        const auto n = o.positional.size() == 1 ? parseNumber(o.positional[0]) : std::nullopt;
        if (!n || *n == 0) return usage();
        return runBench(*n, o.spacingMs, o.acpiPath);
    }
    if (command == "soak") {
        const auto n = o.positional.size() == 1 ? parseNumber(o.positional[0]) : std::nullopt;
        if (!n) return usage();
        return runSoak(*n, o.seed.value_or(::GetTickCount()));
    }
    if (command == "respond") return runResponder(o.acpiPath);
    return usage();
}
