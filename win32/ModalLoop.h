#pragma once
// Modal loops run inside a message handler (a popup menu, a message box) take the thread's messages
// themselves. A close handled there would destroy windows, and free the objects behind them, whose
// handlers are still on the stack under the loop. Such a close waits instead: it ends the loops (the
// menu closes, a message box is answered OK), and the window gets its WM_CLOSE again once the
// outermost loop has returned.

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

// For a window's WM_CLOSE: true when a modal loop runs, which is then asked to end; the window is
// sent the close again once no loop runs. False: close as usual.
bool closeAfterModalLoops(HWND window);

// Whether a close of the program is on its way: nothing new should wait for a user.
bool closeRequested() noexcept;

}  // namespace win32
