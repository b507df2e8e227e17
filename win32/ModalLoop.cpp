#include "win32/ModalLoop.h"

#include "win32/Application.h"

namespace win32 {

namespace {

// Everything here runs on the user-interface thread.
int g_depth = 0;
HWND g_closing = nullptr;  // the window whose close waits for the loops
bool g_closeRequested = false;

// The thread's message boxes (dialogs of the system's class), each answered as its OK button would.
BOOL CALLBACK answerMessageBox(HWND window, LPARAM) {
    if (isDialogClass(window)) ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

}  // namespace

ModalLoopScope::ModalLoopScope() { ++g_depth; }

ModalLoopScope::~ModalLoopScope() {
    if (--g_depth > 0 || !g_closing) return;
    ::PostMessageW(g_closing, WM_CLOSE, 0, 0);
    g_closing = nullptr;
}

bool closeAfterModalLoops(HWND window) {
    g_closeRequested = true;
    if (g_depth == 0) return false;
    g_closing = window;
    ::EndMenu();
    ::EnumThreadWindows(::GetCurrentThreadId(), &answerMessageBox, 0);
    return true;
}

bool closeRequested() noexcept { return g_closeRequested; }

}  // namespace win32
