#include "win32/Controls.h"

#include <gtest/gtest.h>

#include <string>

#include "win32/Text.h"
#include "win32/Window.h"

namespace win32 {
namespace {

class HostWindow : public Window {
  public:
    HostWindow() { create(L"KelvaneTestHost", L"host", WS_OVERLAPPEDWINDOW, 0, {0, 0, 300, 300}); }
};

class MemoLogTest : public ::testing::Test {
  protected:
    HostWindow host;
    HWND edit =
        createControl(host.hwnd(), L"EDIT", L"", ES_MULTILINE | WS_VSCROLL, {0, 0, 200, 200}, nullptr);
    // Logical lines, whatever the control wraps on screen.
    int shownLines() {
        const std::wstring text = windowText(edit);
        int n = 0;
        for (wchar_t c : text) n += c == L'\n';
        return n;
    }
    std::wstring line(int index) {
        const std::wstring text = windowText(edit);
        std::size_t at = 0;
        for (int i = 0; i < index; ++i) at = text.find(L"\r\n", at) + 2;
        return text.substr(at, text.find(L"\r\n", at) - at);
    }
};

TEST_F(MemoLogTest, QueuedLinesAppearOnlyAtFlushInOrder) {
    MemoLog memo(edit, 100);
    memo.queue(L"first");
    memo.queue(L"second");
    EXPECT_EQ(windowText(edit), L"");
    memo.flush();
    EXPECT_EQ(windowText(edit), L"first\r\nsecond\r\n");
    memo.queue(L"third");
    memo.flush();
    EXPECT_EQ(line(2), L"third");
}

TEST_F(MemoLogTest, KeepsTheMostRecentLinesAndDropsTheOldest) {
    MemoLog memo(edit, 100);
    for (int i = 0; i < 1000; ++i) {
        // Every tenth line is long enough to wrap in the 200-pixel control.
        memo.queue(L"line " + std::to_wstring(i) + (i % 10 ? L"" : std::wstring(80, L'w')));
        if (i % 7 == 6) memo.flush();
    }
    memo.flush();
    const int shown = shownLines();
    EXPECT_GE(shown, 100);
    EXPECT_LE(shown, 125) << "at most a quarter above the limit";
    EXPECT_EQ(line(shown - 1), L"line 999");
    EXPECT_EQ(line(0).substr(0, 8), (L"line " + std::to_wstring(1000 - shown)).substr(0, 8))
        << "no line lost in between";
}

TEST_F(MemoLogTest, AFloodOfQueuedLinesShowsOnlyItsLastLinesAndNothingBefore) {
    // 50 lines shown, then a number queued at once; the memo's first line and count after that flush.
    struct Case {
        int queued;
        std::wstring first;
        int shown;
    };
    const Case cases[] = {
        {99, L"old 49", 100},  // below the limit: appended, then the oldest trimmed
        {100, L"new 0", 100},  // at the limit: the queued lines alone fill the memo
        {101, L"new 1", 100},  // above: the oldest queued line is never shown
        {450, L"new 350", 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.queued);
        setText(edit, L"");
        MemoLog memo(edit, 100);
        for (int i = 0; i < 50; ++i) memo.queue(L"old " + std::to_wstring(i));
        memo.flush();
        for (int i = 0; i < c.queued; ++i)
            memo.queue(L"new " + std::to_wstring(i) + (i % 10 ? L"" : std::wstring(80, L'w')));
        memo.flush();
        EXPECT_EQ(shownLines(), c.shown);
        EXPECT_EQ(line(0).substr(0, c.first.size()), c.first);
        EXPECT_EQ(line(c.shown - 1).substr(0, 4), L"new ");
        // The count stays true afterwards: the next lines trim at the same place.
        for (int i = 0; i < 30; ++i) memo.queue(L"next " + std::to_wstring(i));
        memo.flush();
        EXPECT_EQ(line(shownLines() - 1), L"next 29");
        EXPECT_LE(shownLines(), 125);
    }
}

TEST(MemoFlushDelay, IsTheLeastOrNineTimesTheLastFlush) {
    using std::chrono::microseconds;
    EXPECT_EQ(memoFlushDelayMs(microseconds(0), 100), 100u);
    EXPECT_EQ(memoFlushDelayMs(microseconds(11111), 100), 100u);  // 99.999 ms
    EXPECT_EQ(memoFlushDelayMs(microseconds(11112), 100), 101u);  // 100.008 ms, rounded up
    EXPECT_EQ(memoFlushDelayMs(microseconds(70000), 100), 630u);
}

TEST_F(MemoLogTest, HoldsMoreThanTheDefaultEditLimit) {
    MemoLog memo(edit, 5000);
    const std::wstring text(90, L'x');
    for (int i = 0; i < 500; ++i) memo.queue(text);  // 46,000 characters
    memo.flush();
    EXPECT_EQ(shownLines(), 500);
}

TEST_F(MemoLogTest, ClearEmptiesControlAndCount) {
    MemoLog memo(edit, 10);
    for (int i = 0; i < 12; ++i) memo.queue(L"x");
    memo.flush();
    memo.clear();
    EXPECT_EQ(windowText(edit), L"");
    for (int i = 0; i < 10; ++i) memo.queue(L"y");
    memo.flush();
    EXPECT_EQ(shownLines(), 10) << "a cleared memo does not trim early";
}

// A parent that flushes the memo whenever it receives a message, as a form does after each one.
class FlushingParent : public Window {
  public:
    FlushingParent() {
        create(L"KelvaneFlushingParent", L"parent", WS_OVERLAPPEDWINDOW, 0, {0, 0, 300, 300});
    }
    MemoLog* memo = nullptr;

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (memo) memo->flush();
        return Window::handleMessage(message, wParam, lParam);
    }
};

TEST(MemoLogReentry, AFlushFromTheControlsOwnNotificationAppendsNothingTwice) {
    FlushingParent parent;
    HWND edit = createControl(parent.hwnd(), L"EDIT", L"", ES_MULTILINE, {0, 0, 200, 200}, nullptr);
    MemoLog memo(edit, 100);
    parent.memo = &memo;
    memo.queue(L"one");
    memo.queue(L"two");
    memo.flush();  // the edit control's EN_CHANGE/EN_UPDATE reach the parent while this runs
    EXPECT_EQ(windowText(edit), L"one\r\ntwo\r\n");
}

TEST(TimerTest, TicksThroughTheMessageLoopUntilDisabled) {
    HostWindow host;
    int ticks = 0;
    Timer timer(host.hwnd(), 10, [&] { ++ticks; });
    EXPECT_FALSE(timer.enabled());
    timer.setEnabled(true);
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (ticks < 3 && ::GetTickCount() - start < 5000) {
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        else
            ::Sleep(1);
    }
    EXPECT_EQ(ticks, 3);
    timer.setEnabled(false);
    ::Sleep(50);
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    EXPECT_EQ(ticks, 3) << "no tick after disabling";
}

}  // namespace
}  // namespace win32
