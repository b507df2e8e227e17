#pragma once
// The board's device tree is its own setupapi.dll, which wine loads in place of the system's only for
// a program told to prefer it. A program started from a shell is told by WINEDLLOVERRIDES=...;setupapi=n
// in its environment. A program started by another Windows program is not: wine reads the overrides
// from the environment its first process was given, not from the block CreateProcess passes on. Such
// a program is told through wine's per-program settings of the prefix instead.

#include <string_view>

namespace simboard {

// HKCU\Software\Wine\AppDefaults\<program>\DllOverrides: setupapi = native. False when the setting
// cannot be written.
bool preferBoardSetupApi(std::wstring_view programFileName);
// Takes the setting away again; false when there was none.
bool forgetBoardSetupApi(std::wstring_view programFileName);

}  // namespace simboard
