#include "win32/DebugOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace win32 {
namespace {

// Writes everything the backlog gives, each write going through or dropped as `outcomes` says in
// turn (then going through); returns what a monitor received.
std::vector<std::wstring> drain(DebugOutputBacklog& backlog, std::vector<bool> outcomes = {}) {
    std::vector<std::wstring> received;
    std::size_t write = 0;
    while (auto line = backlog.take()) {
        const bool dropped = write < outcomes.size() && outcomes[write];
        ++write;
        EXPECT_FALSE(backlog.take()) << "one line at a time";
        if (!dropped) received.push_back(*line);
        backlog.written(dropped);
    }
    EXPECT_TRUE(backlog.idle());
    return received;
}

TEST(DebugOutputBacklog, LinesGoInOrderAndLostOnesAreCountedOnceTheOutputFlowsAgain) {
    using Lines = std::vector<std::wstring>;
    const struct {
        const char* what;
        std::size_t capacity;
        Lines added;
        std::vector<bool> dropped;  // by the system, write by write, while the added lines are written
        Lines received;             // with "y" and "z" added afterwards and written
    } cases[] = {
        {"all taken", 4, {L"a", L"b", L"c"}, {}, {L"a", L"b", L"c", L"y", L"z"}},
        {"the system drops two: counted after the next line that goes through",
         4,
         {L"a", L"b", L"c"},
         {false, true, true},
         {L"a", L"y", lostDebugOutputLine(2), L"z"}},
        {"the count itself dropped: reported after the next line",
         4,
         {L"a", L"b", L"c"},
         {true, false, true, false},
         {L"b", L"c", lostDebugOutputLine(1), L"y", L"z"}},
        {"the backlog full: the newest lines dropped",
         2,
         {L"a", L"b", L"c", L"d", L"e"},
         {},
         {L"a", lostDebugOutputLine(3), L"b", L"y", L"z"}},
    };
    for (const auto& c : cases) {
        DebugOutputBacklog backlog(c.capacity);
        for (const std::wstring& line : c.added) backlog.add(line);
        Lines received = drain(backlog, c.dropped);
        backlog.add(L"y");
        backlog.add(L"z");
        const Lines rest = drain(backlog);
        received.insert(received.end(), rest.begin(), rest.end());
        EXPECT_EQ(received, c.received) << c.what;
        EXPECT_EQ(backlog.lost(), 0u) << c.what;
    }
}

TEST(DebugOutputBacklog, WhileNothingGoesThroughTheCountWaitsAndTheBacklogCountsAsIdle) {
    DebugOutputBacklog backlog(8);
    backlog.add(L"a");
    ASSERT_EQ(backlog.take(), std::optional<std::wstring>(L"a"));
    EXPECT_FALSE(backlog.idle()) << "a line being written";
    backlog.written(true);
    EXPECT_EQ(backlog.lost(), 1u);
    EXPECT_FALSE(backlog.take()) << "no count before a line has gone through";
    EXPECT_TRUE(backlog.idle());
    backlog.add(L"b");
    ASSERT_EQ(backlog.take(), std::optional<std::wstring>(L"b"));
    backlog.add(L"c");  // while "b" is written
    backlog.written(false);
    EXPECT_EQ(backlog.take(), std::optional<std::wstring>(lostDebugOutputLine(1)));
    backlog.add(L"d");
    backlog.add(L"e");
    backlog.written(false);
    EXPECT_EQ(drain(backlog), (std::vector<std::wstring>{L"c", L"d", L"e"}));
}

}  // namespace
}  // namespace win32
