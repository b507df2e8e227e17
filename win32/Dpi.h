#pragma once
// The display scale a window is shown at. The per-monitor calls exist from Windows 10 (1607) on and
// are looked up in user32 when first needed; before that a program sees one DPI, the system's.

#include <windows.h>

namespace win32 {

// What a DPI from a window message is held to: 100 % to 1000 %. A message from another process may
// carry anything, and every size of a window is scaled by it.
inline constexpr int kLeastDpi = USER_DEFAULT_SCREEN_DPI, kMostDpi = 10 * USER_DEFAULT_SCREEN_DPI;

// The new DPI of a WM_DPICHANGED (its wParam), held to the bounds above.
int dpiOfChange(WPARAM wParam);

// The DPI of the monitor the window is on, as the system scales it for this program.
int windowDpi(HWND window);

// A system metric (SM_CXSMICON...) at a DPI; before Windows 10 (1607), at the system's DPI.
int systemMetricForDpi(int index, int dpi);

}  // namespace win32
