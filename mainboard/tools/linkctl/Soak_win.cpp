#include "mainboard/tools/linkctl/Soak.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "mainboard/machine/Hardware.h"
#include "mainboard/tools/common/ChannelModel.h"
#include "mainboard/tools/common/HandlingTimes.h"
#include "mainboard/tools/common/Json.h"
#include "mainboard/tools/common/RemoteConsole.h"
#include "mainboard/tools/common/SoakMix.h"
#include "mainboard/tools/common/Stats.h"
#include "mainboard/tools/linkctl/ExitCodes.h"
#include "win32/Text.h"

namespace simboard {

namespace {

constexpr DWORD kAnswerTimeoutMs = 5000;
constexpr std::uint32_t kJournalScanEvery = 1000;  // well inside what the journal holds
constexpr std::size_t kMismatchesShown = 5;
constexpr std::uint32_t kCardIndices = 16;  // word 0 has four bits for the card
constexpr Words kCardCountRequest =
    wire::RemoteRequest{.group = wire::wireNumber(wire::RequestGroup::Information),
                        .command = wire::wireNumber(wire::InfoCommand::CardCount)}
        .encode();

// Info.ini as the server's folder holds it, read through the platform's profile functions; the
// card names come from the board, trimmed of blanks and control characters at both ends.
class CardDatabaseView {
  public:
    explicit CardDatabaseView(DWORD serverPid) : m_path(serverFolder(serverPid) + L"Info.ini") {}

    std::int32_t modelId(const MachineLayout& m, std::uint32_t card) const {
        const auto slot = nvidiaCard(m, static_cast<std::int32_t>(card));
        const std::wstring name = slot ? trimmed(win32::widen(slot->name, CP_ACP)) : std::wstring();
        return static_cast<std::int32_t>(
            ::GetPrivateProfileIntW(L"Name_NV", name.c_str(), 0, m_path.c_str()));
    }
    std::int32_t version() const {
        return static_cast<std::int32_t>(::GetPrivateProfileIntW(L"Version", L"Ver", 1, m_path.c_str()));
    }

  private:
    static std::wstring serverFolder(DWORD pid) {
        win32::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        wchar_t path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (!process || !::QueryFullProcessImageNameW(process.get(), 0, path, &size)) return {};
        std::wstring folder(path, size);
        return folder.substr(0, folder.find_last_of(L"\\/") + 1);
    }
    static bool blankOrControl(wchar_t c) { return c <= L' ' || (c >= 0x7F && c <= 0x9F); }
    static std::wstring trimmed(std::wstring s) {
        while (!s.empty() && blankOrControl(s.back())) s.pop_back();
        std::size_t start = 0;
        while (start < s.size() && blankOrControl(s[start])) ++start;
        return s.substr(start);
    }

    std::wstring m_path;
};

std::string hex(const Words& w) {
    char text[40];
    std::snprintf(text, sizeof text, "%08X %08X %08X", w[0], w[1], w[2]);
    return text;
}

class SoakRun {
  public:
    // With drivesCard, card 0 of the board is checked after every set command.
    SoakRun(Machine& machine, HWND server, DWORD serverPid, bool drivesCard)
        : m_machine(machine),
          m_console(machine),
          m_server(server),
          m_drivesCard(drivesCard),
          m_flagWork(machine.state(), serverPid) {}

    // One step: staged, notified (after a wrong notification where the step has one) and checked.
    bool carryOut(const SoakStep& step, ChannelModel& model) {
        m_console.stage(step.words, step.flag);
        if (step.kind == SoakKind::WrongNotification)
            ::PostMessageW(m_server, wire::kRemoteNotifyMessage, step.wrongWParam,
                           static_cast<LPARAM>(step.wrongLParam));
        const Words expected = step.flag == wire::kFlagRequestWaiting
                                   ? model.answer(step.words)
                                   : ChannelModel::flagErrorAnswer(step.words);
        const LinkResult r = m_console.notifyAndWait(kAnswerTimeoutMs, m_server, step.lParam);
        ++m_notified;
        ++m_byKind[static_cast<std::size_t>(step.kind)];
        if (!r.ok()) {
            std::fprintf(stderr, "linkctl: request %s (%s): %s\n", hex(step.words).c_str(),
                         std::string(soakKindName(step.kind)).c_str(), r.error.c_str());
            return false;
        }
        if (r.answer != expected)
            mismatch("request " + hex(step.words) + " flag " + std::to_string(step.flag) + " (" +
                     std::string(soakKindName(step.kind)) + "): answer " + hex(r.answer) + ", expected " +
                     hex(expected));
        if (step.kind == SoakKind::Set && m_drivesCard) checkCard(model);
        if (m_notified % kJournalScanEvery == 0) checkFlagReads();
        return true;
    }

    // The back end's card 0 holds what the model says the set commands left there.
    void checkCard(const ChannelModel& model) {
        const auto card = nvidiaCard(m_machine.state(), 0);
        if (!card) return;
        for (int e = 0; e < kNvEntryCount; ++e) {
            const std::int32_t held = card->clocks.entries[e].current;
            const std::int32_t expected = model.state().card0.entries[e].current;
            if (held != expected)
                mismatch("card 0 entry " + std::to_string(e) + " holds " + std::to_string(held) +
                         ", expected " + std::to_string(expected));
        }
    }

    // Every notification with the link's parameters reads the flag once; the others touch nothing.
    void checkFlagReads() {
        m_flagWork.scan();
        if (m_flagWork.flagReads != m_notified && !m_flagReadsWrong) {
            m_flagReadsWrong = true;
            mismatch("the server read the flag " + std::to_string(m_flagWork.flagReads) + " times for " +
                     std::to_string(m_notified) + " notifications with the link's parameters");
        }
    }

    void mismatch(std::string what) {
        if (m_mismatches++ < kMismatchesShown) m_shown.push_back(std::move(what));
    }

    void report(std::uint32_t requests, double seconds) {
        checkFlagReads();
        std::printf(
            "soak: %u requests in %.1f s (%.0f requests/s) after one set-all, each answer checked "
            "against the model\n",
            requests, seconds, requests / seconds);
        for (std::size_t k = 0; k < kSoakKinds; ++k)
            std::printf("  %-36s %u\n", std::string(soakKindName(static_cast<SoakKind>(k))).c_str(),
                        m_byKind[k]);
        const Summary h = summarize(m_flagWork.times);
        std::printf("%-30s median %8.1f us   p99 %8.1f us   (%zu requests from the journal)\n",
                    "server handling", h.median, h.p99, h.count);
        printDrift("handling over the run", m_flagWork.times);
        std::printf("mismatches: %llu\n", static_cast<unsigned long long>(m_mismatches));
        for (const std::string& s : m_shown) std::printf("  %s\n", s.c_str());
    }

    // The same figures for scripts; `notified` counts the set-all before the run.
    Json reportJson(std::uint32_t requests, double seconds) {
        checkFlagReads();
        Json byKind = Json::object();
        for (std::size_t k = 0; k < kSoakKinds; ++k)
            byKind[std::string(soakKindName(static_cast<SoakKind>(k)))] = m_byKind[k];
        const Summary h = summarize(m_flagWork.times);
        return {{"requests", requests},
                {"notified", m_notified},
                {"seconds", seconds},
                {"by_kind", byKind},
                {"handled_from_journal", h.count},
                {"handling_us", {{"median", h.median}, {"p99", h.p99}}},
                {"mismatches", m_mismatches},
                {"mismatches_shown", m_shown}};
    }

    bool clean() const { return m_mismatches == 0; }

  private:
    Machine& m_machine;
    RemoteConsole m_console;
    HWND m_server;
    bool m_drivesCard;
    HandlingTimes m_flagWork;
    std::uint64_t m_notified = 0;
    std::array<std::uint32_t, kSoakKinds> m_byKind{};
    std::uint64_t m_mismatches = 0;
    std::vector<std::string> m_shown;
    bool m_flagReadsWrong = false;
};

}  // namespace

int runSoak(std::uint32_t requests, std::uint64_t seed, bool json) {
    Machine& machine = Machine::instance();
    RemoteConsole console(machine);
    const auto [server, serverPid] = findServer(console);
    if (!server) return static_cast<int>(LinkExit::NoServer);

    // Whether the server drives a card shows in the card count: a fixed count with the back end, else
    // nothing.
    const LinkResult probe = console.request(kCardCountRequest, kAnswerTimeoutMs, server);
    if (!probe.ok() || (probe.answer[0] != wire::kActiveBackEndCardCount && probe.answer[0] != 0)) {
        std::fprintf(stderr, "linkctl: the card count came back as %s, neither %u nor 0\n",
                     probe.ok() ? hex(probe.answer).c_str() : probe.error.c_str(),
                     wire::kActiveBackEndCardCount);
        return 1;
    }
    ChannelSetting setting;
    setting.greencardActive = probe.answer[0] == wire::kActiveBackEndCardCount;
    setting.cardCount = probe.answer[0];
    ChannelState state;
    if (setting.greencardActive) {
        const CardDatabaseView database(serverPid);
        std::array<std::int32_t, kCardIndices> modelIds{};
        for (std::uint32_t card = 0; card < kCardIndices; ++card)
            modelIds[card] = database.modelId(machine.state(), card);
        setting.modelIdOf = [modelIds](std::uint32_t card) { return modelIds[card]; };
        setting.databaseVersion = database.version();
        if (const auto card = nvidiaCard(machine.state(), 0)) state.card0 = card->clocks;
    }
    if (!json && setting.greencardActive)
        std::printf("soak: seed %llu, the server drives card 0 through its back end (%u cards)\n",
                    static_cast<unsigned long long>(seed), setting.cardCount);
    else if (!json)
        std::printf("soak: seed %llu, the server has no card back end\n",
                    static_cast<unsigned long long>(seed));
    ChannelModel model(setting, state);
    SoakRun run(machine, server, serverPid, setting.greencardActive);

    // A set-all that leaves the card as it is makes the voltage the server remembers known.
    const NvClockInfo& c = state.card0;
    SoakStep prime;
    prime.kind = SoakKind::Set;
    prime.words =
        wire::RemoteRequest{.group = wire::wireNumber(wire::RequestGroup::Set),
                            .command = wire::wireNumber(wire::SetCommand::All),
                            .core = static_cast<std::uint32_t>(c.entries[kNvCore].current),
                            .memory = static_cast<std::uint32_t>(c.entries[kNvMemory].current /
                                                                 std::int32_t{kRecordMemoryScale}),
                            .voltage = static_cast<std::uint32_t>(std::max(1, c.entries[kNvVoltage].current)),
                            .fan = static_cast<std::uint32_t>(c.entries[kNvFan].current)}
            .encode();
    if (!run.carryOut(prime, model)) return 1;

    SoakMix mix(seed);
    const auto start = std::chrono::steady_clock::now();
    for (std::uint32_t i = 0; i < requests; ++i)
        if (!run.carryOut(mix.next(model.state().card0), model)) return 1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (json) {
        Json report = {
            {"seed", seed}, {"drives_card", setting.greencardActive}, {"card_count", setting.cardCount}};
        report.update(run.reportJson(requests, seconds));
        printJsonLine(report);
    } else {
        run.report(requests, seconds);
    }
    return run.clean() ? 0 : 1;
}

}  // namespace simboard
