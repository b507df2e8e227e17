// The server's debugger output as a debug monitor receives it: every log line, in order, written
// once the answer is out, and none lost when the program ends; a monitor that stops taking lines
// holds up no answer and no end, and the lines it missed are counted.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "e2e/server/ServerRun.h"
#include "e2e/support/DebugOutputMonitor.h"
#include "win32/DebugOutput.h"
#include "win32/Text.h"

namespace server_e2e {
namespace {

using kelvane::MainControl;
using simboard::Words;
using Lines = std::vector<std::string>;

// The lines of one handled request: its three words in, the line of a read command if any, the
// three answer words.
Lines requestLines(const Words& in, const Words& out, const char* commandLine = nullptr) {
    Lines lines = {"Get Notify....", "fun == 0x01"};
    for (std::size_t i = 0; i < 3; ++i) {
        lines.push_back("data -->" + std::to_string(i));
        lines.push_back(std::to_string(in[i]));
    }
    if (commandLine) lines.push_back(commandLine);
    const char* labels[] = {"Data--->", "Data1--->", "Data2--->"};
    for (std::size_t i = 0; i < 3; ++i) {
        lines.push_back(labels[i]);
        lines.push_back(std::to_string(out[i]));
    }
    return lines;
}

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class DebuggerOutput : public ServerTest {
  protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_TRUE(monitor.started()) << "another debug monitor runs in this prefix";
    }

    Lines waitForLines(DWORD processId, std::size_t count) {
        return monitor.waitForLines(processId, count, e2e::kPatienceMs);
    }

    // Clicks "Send" with 5 (posted) and sends a request behind it; returns, once the request is
    // answered, the lines that both log.
    Lines clickAndRequest() {
        ::SendMessageW(control(MainControl::Edit4), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"5"));
        ::PostMessageW(control(MainControl::Button1), BM_CLICK, 0, 0);
        const Words unknownGroup = {0x30010000, 1, 2};
        EXPECT_TRUE(request(unknownGroup).ok());
        return Lines{"5", "Send OK", "flag = 0"} + requestLines(unknownGroup, {0, 0, 0});
    }

    e2e::DebugOutputMonitor monitor;
};

TEST_F(DebuggerOutput, EveryLineArrivesInOrderAndNoneDelaysTheAnswer) {
    ASSERT_TRUE(start());
    const Words readCore = {0x10010000, 7, 8};
    const auto core = static_cast<std::uint32_t>(simboard::defaultMachine().nvidiaCards.at(0).core.current);
    // A held monitor takes one line; a second one would keep the server in OutputDebugString for 10 s.
    monitor.hold();
    const simboard::LinkResult read = request(readCore);
    monitor.release();
    ASSERT_TRUE(read.ok()) << "the answer waited for the debugger: " << read.error;
    EXPECT_EQ(read.answer, (Words{core, 0, 0}));

    const Words setAll = {0x20070320, 0x0384044C, 0x002C0000};
    ASSERT_TRUE(request(setAll).ok());
    ASSERT_TRUE(console.notify(0x55, 0xEC).ok());  // the flag is clear: the error answer
    ASSERT_TRUE(console.notify(0x54, 0xEC).ok());  // not the remote link's: nothing logged
    Lines expected = requestLines(readCore, {core, 0, 0}, "[Core] Current value---T") +
                     requestLines(setAll, {1, 0, 0}) + Lines{"Get Notify....", "Flag err..."};
    // The next request's flag must not meet the notifications above.
    ASSERT_EQ(waitForLines(run->processId(), expected.size()), expected);
    const Words marker = {0x30010000, 1, 2};
    ASSERT_TRUE(request(marker).ok());
    expected = expected + requestLines(marker, {0, 0, 0});
    EXPECT_EQ(waitForLines(run->processId(), expected.size()), expected);
}

TEST_F(DebuggerOutput, LinesOfTheLastMessagesBeforeACloseAreWritten) {
    ASSERT_TRUE(start());
    const Lines expected = clickAndRequest();
    ::PostMessageW(form, WM_CLOSE, 0, 0);  // right after the answer, as "Exit" could be
    EXPECT_EQ(run->waitForExit(e2e::kPatienceMs), std::optional<DWORD>(0));
    EXPECT_EQ(waitForLines(run->processId(), expected.size()), expected);
}

TEST_F(DebuggerOutput, LinesOfAnAnsweredRequestAreWrittenBeforeTheSessionEnds) {
    ASSERT_TRUE(start());
    const Lines expected = clickAndRequest();
    // As the system ends a session: both messages sent, and the process ended once they return.
    for (auto [message, wParam] : {std::pair{WM_QUERYENDSESSION, 0}, {WM_ENDSESSION, TRUE}}) {
        ::SetLastError(0xdeadbeef);
        ASSERT_NE(::SendMessageTimeoutW(form, message, wParam, 0, SMTO_NORMAL, e2e::kPatienceMs, nullptr), 0)
            << message << ": " << ::GetLastError();
    }
    const DWORD processId = run->processId();
    run.reset();
    EXPECT_EQ(waitForLines(processId, expected.size()), expected);
}

// A monitor that holds the buffer for a minute (a hung viewer) while requests come at a remote side's
// pace: each is answered within the remote side's 2 s; once it takes lines again it receives the
// later ones in order and one line that counts those the system dropped meanwhile. Held again, it
// keeps neither the session's end nor a close waiting longer than the server's bound.
TEST_F(DebuggerOutput, AStalledMonitorHoldsUpNoAnswerAndNoEndAndTheLinesItMissedAreCounted) {
    constexpr DWORD kRemoteTimeoutMs = 2000;
    ASSERT_TRUE(start());
    Lines expected;
    std::chrono::steady_clock::time_point held;
    for (std::uint32_t i = 0; i < 31; ++i) {
        const Words words = {0x30010000, i, 2};  // unknown group: answered 0, logged with its words
        if (i == 1) {
            // Every line so far arrived: the monitor takes them as they come, until now.
            ASSERT_EQ(waitForLines(run->processId(), expected.size()), expected);
            monitor.hold();
            held = std::chrono::steady_clock::now();
            // The requests begin 5 s into the hold: the stalled writes (10 s each) then end 5 s away
            // from the release, which meets a write in the middle of its wait.
            std::this_thread::sleep_until(held + std::chrono::seconds(5));
        }
        const auto sent = std::chrono::steady_clock::now();
        const simboard::LinkResult r = console.request(words, kRemoteTimeoutMs, nullptr);
        ASSERT_TRUE(r.ok()) << "request " << i << ": " << r.error;
        expected = expected + requestLines(words, {0, 0, 0});
        if (i > 0) std::this_thread::sleep_until(sent + std::chrono::milliseconds(500));  // the remote pace
    }
    std::this_thread::sleep_until(held + std::chrono::seconds(60));
    monitor.release();

    // What arrives: the lines up to the stall, then the rest after a gap of those the system dropped,
    // with the count of them once lines went through again.
    const std::string countStart = win32::narrow(win32::lostDebugOutputLine(0)).substr(0, 17);
    std::size_t lost = 0;
    Lines received;
    const auto complete = [&] {
        received.clear();
        lost = 0;
        for (const std::string& line : monitor.linesOf(run->processId())) {
            if (line.starts_with(countStart))
                lost += std::stoul(line.substr(countStart.size()));
            else
                received.push_back(line);
        }
        return received.size() + lost >= expected.size();
    };
    ASSERT_TRUE(e2e::waitUntil(complete, e2e::kPatienceMs));
    EXPECT_EQ(monitor.linesOf(run->processId()).size(), received.size() + 1) << "one count line";
    EXPECT_GE(lost, 1u) << "a minute's stall drops lines";
    ASSERT_EQ(received.size() + lost, expected.size());
    const std::size_t gap = static_cast<std::size_t>(
        std::mismatch(received.begin(), received.end(), expected.begin()).first - received.begin());
    EXPECT_TRUE(std::equal(received.begin() + static_cast<std::ptrdiff_t>(gap), received.end(),
                           expected.begin() + static_cast<std::ptrdiff_t>(gap + lost)))
        << "the later lines in order, from line " << gap + lost;

    monitor.hold();
    ASSERT_TRUE(console.request({0x30010000, 99, 2}, kRemoteTimeoutMs, nullptr).ok());
    // The server's bound and a margin for a loaded machine, well below the 10 s that the system waits
    // for a stalled monitor on each line: an end that waited for the monitor cannot pass.
    constexpr DWORD kMarginMs = 5000;
    const DWORD bound = win32::kDebugOutputFinishMs + kMarginMs;
    for (auto [message, wParam] : {std::pair{WM_QUERYENDSESSION, 0}, {WM_ENDSESSION, TRUE}}) {
        EXPECT_NE(::SendMessageTimeoutW(form, message, wParam, 0, SMTO_NORMAL, bound, nullptr), 0)
            << message << " waited for the monitor";
    }
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(run->waitForExit(bound), std::optional<DWORD>(0)) << "the close waited for the monitor";
}

TEST_F(DebuggerOutput, AnAssertionReportWritesTheQueuedLinesFirst) {
    e2e::ProgramFolder probeFolder(L"assertion-probe");
    probeFolder.add(e2e::builtFile(L"e2e\\server\\assertion_probe.exe"), L"assertion_probe.exe");
    e2e::ProgramRun probe(probeFolder, L"assertion_probe.exe");
    std::string text;
    HWND box = e2e::waitForMessageBox(probe, text, e2e::kPatienceMs);
    ASSERT_TRUE(box) << "no assertion report";
    EXPECT_TRUE(text.starts_with("Assertion failed: probe, file ")) << text;
    EXPECT_EQ(waitForLines(probe.processId(), 2), (Lines{"queued 1", "queued 2"}))
        << "while the report shows";
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(probe.waitForExit(e2e::kPatienceMs), std::optional<DWORD>(3));
}

}  // namespace
}  // namespace server_e2e
