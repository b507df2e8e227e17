#include "win32/DebugOutput.h"

#include <gtest/gtest.h>

#include <memory_resource>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace win32 {
namespace {

using Lines = std::vector<std::wstring>;

// Writes everything the backlog gives, each write going through or dropped as `outcomes` says in
// turn (then going through); returns what a monitor received.
Lines drain(DebugOutputBacklog& backlog, std::vector<bool> outcomes = {}) {
    Lines received;
    std::size_t write = 0;
    while (auto next = backlog.take()) {
        const bool dropped = write < outcomes.size() && outcomes[write];
        ++write;
        EXPECT_FALSE(backlog.take()) << "one write at a time";
        if (!dropped) received.push_back(next->lost ? lostDebugOutputLine(next->lost) : next->line);
        backlog.written(dropped);
    }
    EXPECT_TRUE(backlog.idle());
    return received;
}

TEST(DebugOutputBacklog, LinesGoInOrderAndLostOnesAreCountedInTheirPlace) {
    const struct {
        const char* what;
        std::size_t capacity;
        Lines added;
        std::vector<bool> dropped;  // by the system, write by write, while the added lines are written
        Lines received;             // with "y" and "z" added afterwards and written
    } cases[] = {
        {"all taken", 4, {L"a", L"b", L"c"}, {}, {L"a", L"b", L"c", L"y", L"z"}},
        {"the system drops one: the count goes before the next line",
         4,
         {L"a", L"b", L"c"},
         {false, true},
         {L"a", lostDebugOutputLine(1), L"c", L"y", L"z"}},
        {"the count itself dropped: written again before the next line",
         4,
         {L"a", L"b", L"c"},
         {true, true, false},
         {lostDebugOutputLine(1), L"b", L"c", L"y", L"z"}},
        {"the last line dropped: its count waits for the next line and goes before it",
         4,
         {L"a", L"b"},
         {false, true},
         {L"a", lostDebugOutputLine(1), L"y", L"z"}},
        {"the backlog full: the newest lines counted after the older ones",
         2,
         {L"a", L"b", L"c", L"d", L"e"},
         {},
         {L"a", L"b", lostDebugOutputLine(3), L"y", L"z"}},
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

TEST(DebugOutputBacklog, LinesAddedWhileACountIsWrittenKeepTheirPlaceBehindIt) {
    DebugOutputBacklog backlog(2);
    for (const wchar_t* line : {L"a", L"b", L"c"}) backlog.add(line);
    ASSERT_EQ(backlog.take()->line, L"a");
    backlog.written(false);
    ASSERT_EQ(backlog.take()->line, L"b");
    backlog.written(false);
    ASSERT_EQ(backlog.take()->lost, 1u) << "c, lost at the end, once lines went through";
    backlog.add(L"d");  // while the count is written
    backlog.add(L"e");
    backlog.add(L"f");  // full again
    backlog.written(false);
    EXPECT_EQ(backlog.lost(), 1u);
    EXPECT_EQ(drain(backlog), (Lines{L"d", L"e", lostDebugOutputLine(1)}));
}

TEST(DebugOutputBacklog, AQueueHandedOverKeepsItsCountsInPlaceAndWhatDoesNotFitIsCounted) {
    DebugOutputBacklog queued(2);
    for (const wchar_t* line : {L"q1", L"q2", L"q3"}) queued.add(line);  // q3 lost at its end
    DebugOutputBacklog backlog(3);
    backlog.add(L"a");
    backlog.addFrom(queued);
    EXPECT_TRUE(queued.empty());
    EXPECT_EQ(queued.lost(), 0u) << "the backlog reports them now";
    queued.add(L"r1");
    backlog.addFrom(queued);  // r1 beyond the capacity
    EXPECT_EQ(backlog.lost(), 2u);
    EXPECT_EQ(drain(backlog), (Lines{L"a", L"q1", L"q2", lostDebugOutputLine(2)}));
}

// Lines at the byte cap, one unit below and above it, and far above it; the cut keeps whole
// characters. What the backlog holds of a line is bounded by the cap in memory too, however long the
// line or large its storage was.
TEST(DebugOutputBacklog, ALineLongerThanTheCapIsCutAndSaysSoAndHoldsNoMoreThanTheCap) {
    constexpr std::size_t kUnits = kDebugOutputLineBytes / sizeof(wchar_t);
    const std::wstring mark = kDebugOutputCutMark;
    const std::size_t kept = kUnits - mark.size();
    const std::wstring pair = L"\xD83D\xDE00";  // one character, two units
    const struct {
        std::wstring line;
        std::size_t storage;  // units reserved for the line as it comes (0: as much as it needs)
        std::wstring written;
    } cases[] = {
        {std::wstring(kUnits - 1, L'x'), 0, std::wstring(kUnits - 1, L'x')},
        {std::wstring(kUnits, L'x'), 0, std::wstring(kUnits, L'x')},
        {std::wstring(kUnits + 1, L'x'), 0, std::wstring(kept, L'x') + mark},
        {std::wstring(100 * kUnits, L'x'), 0, std::wstring(kept, L'x') + mark},
        {std::wstring(kept - 1, L'x') + pair + std::wstring(kUnits, L'y'), 0,
         std::wstring(kept - 1, L'x') + mark},
        {L"short", 100 * kUnits, L"short"},
    };
    for (const auto& c : cases) {
        DebugOutputBacklog backlog(1);
        std::wstring line;
        line.reserve(c.storage);
        line = c.line;
        backlog.add(std::move(line));
        const std::optional<DebugOutputWrite> taken = backlog.take();
        ASSERT_TRUE(taken);
        EXPECT_EQ(taken->line, c.written) << c.line.size() << " units";
        EXPECT_LE(taken->line.capacity() * sizeof(wchar_t), kDebugOutputLineBytes)
            << c.line.size() << " units";
    }
}

// Memory that runs out on request.
class FailingMemory : public std::pmr::memory_resource {
  public:
    bool failing = false;

  private:
    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        if (failing) throw std::bad_alloc();
        return std::pmr::new_delete_resource()->allocate(bytes, alignment);
    }
    void do_deallocate(void* p, std::size_t bytes, std::size_t alignment) override {
        std::pmr::new_delete_resource()->deallocate(p, bytes, alignment);
    }
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }
};

TEST(DebugOutputBacklog, OutOfMemoryTheLinesAreCountedInTheirPlaceAndNothingIsThrown) {
    FailingMemory memory;
    DebugOutputBacklog backlog(100000, &memory);
    DebugOutputBacklog queued(100000, &memory);
    backlog.add(L"a");
    memory.failing = true;
    // Enough lines for the backlog's storage to need more: some fit what it holds, the rest are lost.
    std::size_t added = 0;
    for (; backlog.lost() == 0; ++added) backlog.add(L"b");
    queued.add(L"q");  // lost on its way into the backlog
    backlog.addFrom(queued);
    memory.failing = false;
    backlog.add(L"c");
    const Lines expected = [&] {
        Lines lines{L"a"};
        lines.insert(lines.end(), added - 1, L"b");
        lines.push_back(lostDebugOutputLine(2));
        lines.push_back(L"c");
        return lines;
    }();
    EXPECT_EQ(drain(backlog), expected);
}

}  // namespace
}  // namespace win32
