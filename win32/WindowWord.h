#pragma once
// A window handle as a 32-bit word, the form in which it crosses process boundaries (the board's shared
// state, a tool's output). Windows keeps only the low 32 bits of a window handle significant, so that
// 32- and 64-bit processes can share them; a 64-bit process sign-extends the word back.

#include <windows.h>

#include <cstdint>

namespace win32 {

inline std::uint32_t wordFromWindow(HWND window) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
}

inline HWND windowFromWord(std::uint32_t word) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(word)));
}

}  // namespace win32
