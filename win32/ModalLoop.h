#pragma once
// Modal loops run inside a message handler (a popup menu, a message box) take the thread's messages
// themselves. A close handled there would destroy windows, and free the objects behind them, whose
// handlers are still on the stack under the loop. Such a close waits instead: it ends the loops (the
// menu closes, a message box of ours is answered OK), and the window gets its WM_CLOSE again once the
// outermost loop has returned. A box that another library opened is left to its library and its user.

#include <windows.h>

namespace win32 {

// Held around each modal loop run from a handler.
class ModalLoopScope {
  public:
    ModalLoopScope();
    ~ModalLoopScope();  // the outermost one posts the close that waited
    ModalLoopScope(const ModalLoopScope&) = delete;
    ModalLoopScope& operator=(const ModalLoopScope&) = delete;
};

// MessageBoxW as a modal loop of ours, which a close answers OK; its answer.
int showMessageBox(const wchar_t* text, const wchar_t* caption, UINT type);

// For a window's WM_CLOSE: true when a modal loop runs, which is then asked to end; the window is
// sent the close again once no loop runs. False: close as usual.
bool closeAfterModalLoops(HWND window);

// Whether a close of the program is on its way: nothing new should wait for a user.
bool closeRequested() noexcept;

}  // namespace win32
