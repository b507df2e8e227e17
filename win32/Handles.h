#pragma once
// Move-only owners, one per release function. Copies are deleted; moving hands the handle over.

#include <windows.h>

#include <utility>

namespace win32 {

// Which values mean "no handle"; the first one named is what an empty owner holds. "null" is the
// handle type's zero: nullptr, or 0 for the handles that are integers (the cryptography API's).
enum class NoneIs { null, invalidValue, nullOrInvalidValue, invalidValueOrNull };

template <typename H, auto Close, NoneIs none = NoneIs::null>
class Unique {
  public:
    using Handle = H;

    Unique() noexcept = default;
    explicit Unique(Handle h) noexcept : m_handle(h) {}
    ~Unique() { reset(); }
    Unique(Unique&& other) noexcept : m_handle(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;

    Handle get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return valid(m_handle); }
    [[nodiscard]] Handle release() noexcept { return std::exchange(m_handle, empty()); }
    void reset(Handle h = empty()) noexcept {
        Handle old = std::exchange(m_handle, h);
        if (valid(old)) Close(old);
    }

  private:
    static Handle invalidValue() noexcept { return reinterpret_cast<Handle>(INVALID_HANDLE_VALUE); }
    static Handle empty() noexcept {
        if constexpr (none == NoneIs::invalidValue || none == NoneIs::invalidValueOrNull)
            return invalidValue();
        else
            return Handle{};
    }
    static bool valid(Handle h) noexcept {
        if constexpr (none == NoneIs::null)
            return h != Handle{};
        else if constexpr (none == NoneIs::invalidValue)
            return h != invalidValue();
        else
            return h != Handle{} && h != invalidValue();
    }

    Handle m_handle = empty();
};

using UniqueHandle = Unique<HANDLE, ::CloseHandle, NoneIs::nullOrInvalidValue>;
using UniqueModule = Unique<HMODULE, ::FreeLibrary>;
using UniqueFindHandle = Unique<HANDLE, ::FindClose, NoneIs::invalidValue>;
using UniqueRegistryKey = Unique<HKEY, ::RegCloseKey>;
using UniqueFileView = Unique<void*, ::UnmapViewOfFile>;
using UniqueFont = Unique<HFONT, ::DeleteObject>;
using UniqueBitmap = Unique<HBITMAP, ::DeleteObject>;
using UniqueBrush = Unique<HBRUSH, ::DeleteObject>;
using UniqueMemoryDC = Unique<HDC, ::DeleteDC>;
using UniqueWindow = Unique<HWND, ::DestroyWindow>;
using UniqueIcon = Unique<HICON, ::DestroyIcon>;
using UniqueMenu = Unique<HMENU, ::DestroyMenu>;
using UniqueHook = Unique<HHOOK, ::UnhookWindowsHookEx>;

// A window's device context, given back with ReleaseDC and its window.
class WindowDC {
  public:
    explicit WindowDC(HWND window) noexcept : m_window(window), m_dc(::GetDC(window)) {}
    ~WindowDC() {
        if (m_dc) ::ReleaseDC(m_window, m_dc);
    }
    WindowDC(WindowDC&& other) noexcept
        : m_window(std::exchange(other.m_window, nullptr)), m_dc(std::exchange(other.m_dc, nullptr)) {}
    WindowDC& operator=(WindowDC&&) = delete;
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const noexcept { return m_dc; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }

  private:
    HWND m_window;
    HDC m_dc;
};

}  // namespace win32
