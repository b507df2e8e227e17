#pragma once
// The relay's one dialog: never shown, it binds the outside libraries when it initialises and turns
// every broadcast clock request into a call of the clock library.

#include <windows.h>

#include "tiktor/RelayLibraries.h"

namespace tiktor {

class TiktorDialog {
  public:
    explicit TiktorDialog(HINSTANCE instance);
    TiktorDialog(const TiktorDialog&) = delete;
    TiktorDialog& operator=(const TiktorDialog&) = delete;

    // Creates the dialog, runs its modal loop until the dialog ends, destroys it.
    void runModal();

  private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // TRUE when the message is handled here; FALSE hands it to the default dialog handling.
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR onInitDialog();
    void paintMinimised();

    HINSTANCE m_instance;
    HWND m_window = nullptr;
    HICON m_icon;  // shared icon from the program's resources: the system frees it
    RelayLibraries m_libraries;
    UINT m_broadcastMessage = 0;  // 0 until registered
};

}  // namespace tiktor
