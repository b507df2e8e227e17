#pragma once
// The names by which a running server is found. The installer finds a server through them (its
// build reads them from here), and a second start ends when either is taken.

namespace wire {

// The session's mutex, as the server has always created it: other software looks for it.
inline constexpr wchar_t kSessionServerMutexName[] = L"Kelvane";

// The machine's mutex: one server for every session. Its access list lets every authenticated user
// wait on it, so that other users' starts and an installer running under another account see it.
inline constexpr wchar_t kMachineServerMutexName[] = L"Global\\KelvaneServer";

}  // namespace wire
