#include "win32/ModalLoop.h"

#include <vector>

#include "win32/Application.h"

namespace win32 {

namespace {

// Everything here runs on the user-interface thread.
int g_depth = 0;
HWND g_closing = nullptr;  // the window whose close waits for the loops
bool g_closeRequested = false;
// The message boxes of ours that show, oldest first; null while the newest is being made.
std::vector<HWND> g_ownBoxes;

// Notes the box that MessageBoxW makes: the first top-level dialog of the thread after the call.
LRESULT CALLBACK noteOwnBox(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !g_ownBoxes.empty() && !g_ownBoxes.back()) {
        HWND created = reinterpret_cast<HWND>(wParam);
        if (!(reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->style & WS_CHILD) && isDialogClass(created))
            g_ownBoxes.back() = created;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

ModalLoopScope::ModalLoopScope() { ++g_depth; }

ModalLoopScope::~ModalLoopScope() {
    if (--g_depth > 0 || !g_closing) return;
    ::PostMessageW(g_closing, WM_CLOSE, 0, 0);
    g_closing = nullptr;
}

int showMessageBox(const wchar_t* text, const wchar_t* caption, UINT type) {
    const ModalLoopScope loop;
    g_ownBoxes.push_back(nullptr);
    // Without the hook (the system refused it) the box is still shown; a close cannot answer it.
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, &noteOwnBox, nullptr, ::GetCurrentThreadId());
    const int answer = ::MessageBoxW(nullptr, text, caption, type);
    if (hook) ::UnhookWindowsHookEx(hook);
    g_ownBoxes.pop_back();
    return answer;
}

bool closeAfterModalLoops(HWND window) {
    g_closeRequested = true;
    if (g_depth == 0) return false;
    g_closing = window;
    ::EndMenu();
    for (HWND box : g_ownBoxes)
        if (box) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    return true;
}

bool closeRequested() noexcept { return g_closeRequested; }

}  // namespace win32
