// The window layer's promises to the windows built on it: the object sees its window's first
// messages, timer ticks run inside its handleMessage, and the loop moves the keyboard in dialogs.

#include "win32/Window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "win32/Application.h"
#include "win32/Controls.h"
#include "win32/Text.h"

namespace win32 {
namespace {

// Records what reaches it, and catches what its handlers throw, as a form's exception display does.
class RecordingWindow : public Window {
  public:
    explicit RecordingWindow(DWORD exStyle = 0) {
        create(L"KelvaneTestRecording", L"recording", WS_OVERLAPPEDWINDOW, exStyle, {0, 0, 300, 200});
    }
    ~RecordingWindow() override { destroy(); }
    void destroyNow() { destroy(); }

    std::vector<UINT> messages;
    HWND windowAtCreate = nullptr;
    std::vector<std::string> caught;

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        if (message == WM_CREATE) windowAtCreate = hwnd();
        try {
            return Window::handleMessage(message, wParam, lParam);
        } catch (const std::exception& e) {
            caught.push_back(e.what());
            return 0;
        }
    }
};

bool pumpUntil(const std::function<bool()>& condition) {
    const ULONGLONG deadline = ::GetTickCount64() + 5000;
    MSG msg;
    while (!condition() && ::GetTickCount64() < deadline) {
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        else
            ::Sleep(1);
    }
    return condition();
}

TEST(WindowTest, TheObjectSeesItsWindowFromWmNcCreateOn) {
    RecordingWindow window;
    ASSERT_FALSE(window.messages.empty());
    EXPECT_EQ(window.messages.front(), static_cast<UINT>(WM_NCCREATE));
    EXPECT_NE(std::find(window.messages.begin(), window.messages.end(), static_cast<UINT>(WM_CREATE)),
              window.messages.end());
    EXPECT_EQ(window.windowAtCreate, window.hwnd()) << "hwnd() is known while WM_CREATE is handled";
}

BOOL CALLBACK findVisibleBox(HWND window, LPARAM found) {
    if (!isDialogClass(window) || !::IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Answers the message boxes of a thread as a person would, once each shows its text; keeps the texts.
class BoxAnswerer {
  public:
    explicit BoxAnswerer(DWORD threadId) : m_thread([this, threadId] { answer(threadId); }) {}
    ~BoxAnswerer() {
        m_stop = true;
        m_thread.join();
    }
    std::vector<std::string> texts() const {
        const std::lock_guard lock(m_mutex);
        return m_texts;
    }

  private:
    void answer(DWORD threadId) {
        while (!m_stop) {
            HWND box = nullptr;
            ::EnumThreadWindows(threadId, &findVisibleBox, reinterpret_cast<LPARAM>(&box));
            std::string text;
            for (HWND child = nullptr; box && (child = ::FindWindowExW(box, child, L"Static", nullptr));)
                if (std::string t = narrow(windowText(child)); !t.empty()) text = t;
            if (text.empty()) {
                ::Sleep(5);
                continue;
            }
            {
                const std::lock_guard lock(m_mutex);
                m_texts.push_back(text);
            }
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            while (::IsWindow(box) && !m_stop) ::Sleep(5);
        }
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

// Throws out of its handlers, as a handler that runs out of memory does.
class ThrowingWindow : public Window {
  public:
    ThrowingWindow() { create(L"KelvaneTestThrowing", L"throwing", WS_POPUP, 0, {0, 0, 100, 100}); }
    ~ThrowingWindow() override { destroy(); }
    int paints = 0;

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP) throw std::runtime_error("handler failed");
        if (message == WM_PAINT && ++paints < 5) throw std::runtime_error("paint failed");
        return Window::handleMessage(message, wParam, lParam);
    }
};

// An exception out of any window's handler is shown by the exception display and ends that handler
// only: the window lives on, and a paint that failed is not asked for again while the report is up.
TEST(WindowTest, AnExceptionOutOfAHandlerIsReportedAndEndsOnlyThatHandler) {
    ThrowingWindow window;
    const BoxAnswerer person(::GetCurrentThreadId());
    EXPECT_EQ(::SendMessageW(window.hwnd(), WM_APP, 0, 0), 0);
    ::ShowWindow(window.hwnd(), SW_SHOWNOACTIVATE);
    ::UpdateWindow(window.hwnd());
    EXPECT_TRUE(::IsWindow(window.hwnd()));
    EXPECT_EQ(window.paints, 1);
    EXPECT_EQ(person.texts(), (std::vector<std::string>{"handler failed", "paint failed"}));
}

TEST(WindowTest, TimerTicksRunInsideTheWindowsHandleMessage) {
    RecordingWindow window;
    Timer timer(window.hwnd(), 10, [] { throw std::runtime_error("tick failed"); });
    timer.setEnabled(true);
    EXPECT_TRUE(pumpUntil([&] { return !window.caught.empty(); }));
    timer.setEnabled(false);
    ASSERT_FALSE(window.caught.empty());
    EXPECT_EQ(window.caught.front(), "tick failed");
}

TEST(WindowTest, DestroyDetachesTheObjectBeforeTheWindowGoes) {
    RecordingWindow window;
    const HWND handle = window.hwnd();
    window.messages.clear();
    window.destroyNow();
    EXPECT_FALSE(::IsWindow(handle));
    EXPECT_EQ(window.hwnd(), nullptr);
    EXPECT_TRUE(window.messages.empty()) << "WM_DESTROY and WM_NCDESTROY no longer reach the object";
}

TEST(MessageLoopTest, TabMovesTheFocusInAWindowThatHoldsControlsForTheKeyboard) {
    RecordingWindow window(WS_EX_CONTROLPARENT);
    HWND first = createButton(window.hwnd(), L"First", {10, 10, 80, 25}, nullptr);
    HWND second = createButton(window.hwnd(), L"Second", {100, 10, 80, 25}, nullptr);
    ::SetWindowLongPtrW(first, GWL_STYLE, ::GetWindowLongPtrW(first, GWL_STYLE) | WS_TABSTOP);
    ::SetWindowLongPtrW(second, GWL_STYLE, ::GetWindowLongPtrW(second, GWL_STYLE) | WS_TABSTOP);
    ::ShowWindow(window.hwnd(), SW_SHOW);
    ::SetForegroundWindow(window.hwnd());
    ::SetFocus(first);
    ASSERT_EQ(::GetFocus(), first);
    ::PostMessageW(first, WM_KEYDOWN, VK_TAB, 0);
    ::PostMessageW(first, WM_KEYUP, VK_TAB, 0);
    ::PostQuitMessage(0);
    runMessageLoop();
    EXPECT_EQ(::GetFocus(), second);
}

}  // namespace
}  // namespace win32
