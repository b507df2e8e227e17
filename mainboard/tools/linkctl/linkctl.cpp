// linkctl: the remote console. It plays the second machine on the remote-link port: the remote
// side's kit (remote/RemoteSide.h) over the board's port, and a few ways around the kit on purpose.

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
#include "mainboard/tools/linkctl/ExitCodes.h"
#include "mainboard/tools/linkctl/Soak.h"

namespace {

using namespace simboard;

int usage() {
    std::fputs(
        "usage: linkctl raw W0 W1 W2 [LINK OPTIONS]\n"
        "       linkctl info|read|set NAME [--card N] [--core N] [--mem N] [--volt N] [--fan N] [LINK "
        "OPTIONS]\n"
        "       linkctl set fan-only --fan N [LINK OPTIONS]   set all with the fan, the rest as read\n"
        "       linkctl ping [LINK OPTIONS]       set command 0 (no row): any server that handles it answers "
        "1\n"
        "       linkctl notify WPARAM LPARAM      a notification alone, no request staged\n"
        "       linkctl bench N [--spacing-ms MS] [--acpi PATH-TO-nuacpi.dll]\n"
        "       linkctl soak N [--seed S] [--json]   N random requests, each answer checked (after the "
        "server's\n"
        "                                         start-up defaults); --json: one object for scripts\n"
        "       linkctl verbs\n"
        "link options: --timeout MS (wait after each announcement, 2000), --announcements N (3),\n"
        "       --settle MS (200), --leave-staged (no withdrawal after the last wait),\n"
        "       --lose-notifications N (the next N go nowhere), --stage-only (words and flag, no "
        "notification)\n"
        "numbers are decimal or 0x-hexadecimal; exit codes: 0 answered, 1 usage, 2 no server (bench, "
        "soak),\n"
        "3 timed out, 4 error answer, 5 mismatched answer, 6 port failure\n",
        stderr);
    return static_cast<int>(LinkExit::Usage);
}

struct Options {
    std::vector<std::string_view> positional;
    std::int32_t card = 0;
    kvr_values values{};
    kvr_config link{};
    unsigned loseNotifications = 0;
    bool stageOnly = false;
    bool json = false;  // soak's report for scripts
    std::uint32_t spacingMs = 0;
    std::string acpiPath;
    std::optional<std::uint32_t> seed;
    bool valid = true;
};

// Values go to the kit as signed numbers: one above 2^31 arrives negative and is refused there.
std::int32_t asValue(std::uint32_t n) { return static_cast<std::int32_t>(n); }

Options parseOptions(int argc, char** argv, int first) {
    Options o;
    kvr_default_config(&o.link);
    for (int i = first; i < argc; ++i) {
        std::string_view a = argv[i];
        if (!a.starts_with("--")) {
            o.positional.push_back(a);
            continue;
        }
        if (a == "--json") {
            o.json = true;
            continue;
        }
        if (a == "--leave-staged" || a == "--stage-only") {
            (a == "--leave-staged" ? o.link.leave_staged : o.stageOnly) = true;
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
        std::int32_t* field = a == "--card"   ? &o.card
                              : a == "--core" ? &o.values.core
                              : a == "--mem"  ? &o.values.memory
                              : a == "--volt" ? &o.values.voltage
                              : a == "--fan"  ? &o.values.fan
                                              : nullptr;
        std::uint32_t* setting = a == "--timeout"              ? &o.link.answer_ms
                                 : a == "--announcements"      ? &o.link.announcements
                                 : a == "--settle"             ? &o.link.settle_ms
                                 : a == "--lose-notifications" ? &o.loseNotifications
                                 : a == "--spacing-ms"         ? &o.spacingMs
                                                               : nullptr;
        if (!n || (!field && !setting && a != "--seed")) {
            std::fprintf(stderr, "linkctl: bad option %s %s\n", argv[i - 1], argv[i]);
            o.valid = false;
        } else if (field) {
            *field = asValue(*n);
        } else if (setting) {
            *setting = *n;
        } else {
            o.seed = n;
        }
    }
    return o;
}

// One request through the kit over the board's port, as the options configure it.
class Session {
  public:
    explicit Session(const Options& o) : m_console(Machine::instance()) {
        m_console.port().notificationsToLose = o.loseNotifications;
        const kvr_transport transport = m_console.port().transport();
        m_ready = kvr_init(&m_link, &transport, &o.link) == KVR_OK;
        if (!m_ready)
            std::fprintf(
                stderr,
                "linkctl: a link option is out of range (timeout 1 to 3600000, announcements 1 to 16, "
                "settle up to 60000)\n");
    }
    bool ready() const { return m_ready; }
    kvr_link& link() { return m_link; }
    const kvr_outcome& outcome() const { return *kvr_last_outcome(&m_link); }
    RemoteConsole& console() { return m_console; }

    // What the kit did beyond one announcement and one answer, on stderr; and why it failed.
    int report(kvr_status status) {
        const kvr_outcome& o = outcome();
        if (o.found_staged)
            std::fputs("linkctl: a request was found staged (flag 1): withdrawn first, its words discarded\n",
                       stderr);
        if (o.announcements > 1 && status != KVR_TIMED_OUT_STAGED && status != KVR_TIMED_OUT_WITHDRAWN)
            std::fprintf(stderr, "linkctl: answered after %u announcements\n", o.announcements);
        if (o.attempts > 1)
            std::fputs(
                "linkctl: the first answer was doubtful (the error word or the request's own word where "
                "the value goes, or 0 0 0 while late notifications may come): asked again\n",
                stderr);
        if (o.late) std::fputs("linkctl: the answer came while the request was being withdrawn\n", stderr);
        if (status != KVR_ANSWERED)
            std::fprintf(stderr, "linkctl: %s\n", explainFailure(m_link, m_console.port()).c_str());
        return exitCodeOf(status);
    }

  private:
    RemoteConsole m_console;
    kvr_link m_link{};
    bool m_ready = false;
};

// The request's words and flag without a notification, for the case of a notification that was lost.
int stageOnly(const Words& words) {
    RemoteConsole(Machine::instance()).stage(words);
    std::printf("staged, not announced: %s (flag 1)\n", hexWords(words).c_str());
    return 0;
}

std::string answerText(const LinkVerb* verb, kvr_status status, const Words& answer) {
    if (status == KVR_ERROR_ANSWER) return "error answer: nothing carried out";
    if (status == KVR_MISMATCHED_ANSWER) return "not this request's answer";
    return verb ? describeAnswer(*verb, answer) : "";
}

// The request decoded, the answer decoded, then the words sent and the words answered.
void printLine(const std::string& request, const std::string& answer, const kvr_outcome& o) {
    const Words sent = {o.request[0], o.request[1], o.request[2]};
    const Words answered = {o.answer[0], o.answer[1], o.answer[2]};
    std::printf("%-58s %-44s %s -> %s\n", request.c_str(), answer.c_str(), hexWords(sent).c_str(),
                hexWords(answered).c_str());
}

bool answerCame(kvr_status status) {
    return status == KVR_ANSWERED || status == KVR_ERROR_ANSWER || status == KVR_MISMATCHED_ANSWER;
}

int raw(const Options& o) {
    if (o.positional.size() != 3) return usage();
    Words words{};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto n = parseNumber(o.positional[i]);
        if (!n) {
            std::fprintf(stderr, "linkctl: '%.*s' is not a 32-bit number\n",
                         static_cast<int>(o.positional[i].size()), o.positional[i].data());
            return usage();
        }
        words[i] = *n;
    }
    if (o.stageOnly) return stageOnly(words);
    Session session(o);
    if (!session.ready()) return usage();
    const kvr_status status = kvr_begin_raw(&session.link(), words.data()) == KVR_PENDING
                                  ? kvr_wait(&session.link())
                                  : KVR_INVALID_ARGUMENT;
    const kvr_outcome& out = session.outcome();
    if (answerCame(status))
        std::printf("%s\n", hexWords({out.answer[0], out.answer[1], out.answer[2]}).c_str());
    return session.report(status);
}

int verb(std::string_view group, const Options& o) {
    if (o.positional.size() != 1) return usage();
    const std::string_view name = o.positional[0];
    const bool fanOnly = group == "set" && name == "fan-only";
    const LinkVerb* v = fanOnly ? findVerb("set", "all") : findVerb(group, name);
    if (!v) {
        std::fprintf(stderr, "linkctl: no verb '%.*s %.*s' (see: linkctl verbs)\n",
                     static_cast<int>(group.size()), group.data(), static_cast<int>(name.size()),
                     name.data());
        return usage();
    }
    Words request{};
    if (encodeRequest(*v, o.card, o.values, request) != KVR_OK) {
        std::fputs("linkctl: a value is outside its field (0 to 65535; --card 0 to 15): nothing was sent\n",
                   stderr);
        return usage();
    }
    if (o.stageOnly && !fanOnly) return stageOnly(request);
    Session session(o);
    if (!session.ready()) return usage();
    kvr_link& link = session.link();
    const kvr_status begun =
        fanOnly ? kvr_begin_fan_only(&link, o.values.fan) : kvr_begin(&link, v->kit, o.card, &o.values);
    const kvr_status status = begun == KVR_PENDING ? kvr_wait(&link) : begun;
    const kvr_outcome& out = session.outcome();
    const Words sent = {out.request[0], out.request[1], out.request[2]};
    if (answerCame(status))
        printLine((fanOnly ? "set fan-only: " : "") + describeRequest(sent),
                  answerText(v, status, {out.answer[0], out.answer[1], out.answer[2]}), out);
    return session.report(status);
}

int ping(const Options& o) {
    if (!o.positional.empty()) return usage();
    Session session(o);
    if (!session.ready()) return usage();
    kvr_link& link = session.link();
    const kvr_status status =
        kvr_begin(&link, KVR_CMD_PING, 0, nullptr) == KVR_PENDING ? kvr_wait(&link) : KVR_INVALID_ARGUMENT;
    if (answerCame(status)) {
        printLine("ping (set command 0, which has no row)",
                  status == KVR_ANSWERED ? "a server answers (1)" : answerText(nullptr, status, {}),
                  session.outcome());
        if (status == KVR_ANSWERED)
            std::fprintf(
                stderr,
                "linkctl: as far as this side can know, the server's start-up defaults may overwrite a "
                "set for %u ms more\n",
                kvr_defaults_remaining_ms(&link));
    }
    return session.report(status);
}

int verbs() {
    for (const LinkVerb& v : linkVerbs())
        std::printf("%-5.*s %-13.*s group %u command %2u  %.*s\n", static_cast<int>(v.group.size()),
                    v.group.data(), static_cast<int>(v.name.size()), v.name.data(), v.groupNumber, v.command,
                    static_cast<int>(v.meaning.size()), v.meaning.data());
    std::printf("%-5s %-13s group 2 command  7  %s\n", "set", "fan-only",
                "fan of every card (--fan); core, memory, voltage as read all and read volt give them");
    std::printf("%-19s group 2 command  0  %s\n", "ping", "no row: a server that handles it answers 1");
    return 0;
}

int notify(const Options& o) {
    if (o.positional.size() != 2) return usage();
    const auto w = parseNumber(o.positional[0]), l = parseNumber(o.positional[1]);
    if (!w || !l) return usage();
    RemoteConsole console(Machine::instance());
    const LinkResult r = console.notify(*w, *l);
    if (!r.ok()) std::fprintf(stderr, "linkctl: %s\n", r.error.c_str());
    return exitCodeOf(r.status);
}

}  // namespace

int main(int argc, char** argv) {
    printWithLineFeeds();
    if (argc < 2) return usage();
    const std::string_view command = argv[1];
    const Options o = parseOptions(argc, argv, 2);
    if (!o.valid || (o.json && command != "soak")) return usage();
    if (command == "raw") return raw(o);
    if (command == "info" || command == "read" || command == "set") return verb(command, o);
    if (command == "ping") return ping(o);
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
        return runSoak(*n, o.seed.value_or(::GetTickCount()), o.json);
    }
    if (command == "respond") return runResponder(o.acpiPath);
    return usage();
}
