#pragma once
// The server's windows as other programs find them, by class and caption: the installer closes a
// running server through its main window (its build reads the names from here), msgwatch watches
// that window's thread, and the tests find both windows. A window renamed here is renamed for all.

namespace wire {

// The main window: hidden, the target of the remote-link notifications.
inline constexpr wchar_t kMainWindowClass[] = L"TForm1";
inline constexpr wchar_t kMainWindowCaption[] = L"NOVU Kelvane Server";

// The About box, made hidden at start and shown from the tray menu.
inline constexpr wchar_t kAboutBoxClass[] = L"TAboutBox";
inline constexpr wchar_t kAboutBoxCaption[] = L"AboutBox";

}  // namespace wire
