#pragma once
// Move-only owners, one per release function. Copies are deleted; moving hands the handle over.

#include <windows.h>

#include <utility>

namespace win32 {

template <typename Traits>
class Unique {
  public:
    using Handle = typename Traits::Handle;

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
    explicit operator bool() const noexcept { return Traits::valid(m_handle); }
    [[nodiscard]] Handle release() noexcept { return std::exchange(m_handle, Traits::invalid()); }
    void reset(Handle h = Traits::invalid()) noexcept {
        Handle old = std::exchange(m_handle, h);
        if (Traits::valid(old)) Traits::close(old);
    }

  private:
    Handle m_handle = Traits::invalid();
};

struct KernelHandleTraits {  // CloseHandle; both NULL and INVALID_HANDLE_VALUE mean "none"
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) { ::CloseHandle(h); }
};
using UniqueHandle = Unique<KernelHandleTraits>;

struct ModuleTraits {  // FreeLibrary
    using Handle = HMODULE;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::FreeLibrary(h); }
};
using UniqueModule = Unique<ModuleTraits>;

struct FindTraits {  // FindClose
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static bool valid(Handle h) { return h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) { ::FindClose(h); }
};
using UniqueFindHandle = Unique<FindTraits>;

struct RegistryKeyTraits {  // RegCloseKey
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::RegCloseKey(h); }
};
using UniqueRegistryKey = Unique<RegistryKeyTraits>;

struct FileViewTraits {  // UnmapViewOfFile
    using Handle = void*;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::UnmapViewOfFile(h); }
};
using UniqueFileView = Unique<FileViewTraits>;

template <typename GdiHandle>
struct GdiObjectTraits {  // DeleteObject
    using Handle = GdiHandle;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DeleteObject(h); }
};
using UniqueFont = Unique<GdiObjectTraits<HFONT>>;
using UniqueBitmap = Unique<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = Unique<GdiObjectTraits<HBRUSH>>;

struct MemoryDCTraits {  // DeleteDC
    using Handle = HDC;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DeleteDC(h); }
};
using UniqueMemoryDC = Unique<MemoryDCTraits>;

struct WindowTraits {  // DestroyWindow
    using Handle = HWND;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DestroyWindow(h); }
};
using UniqueWindow = Unique<WindowTraits>;

struct IconTraits {  // DestroyIcon
    using Handle = HICON;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DestroyIcon(h); }
};
using UniqueIcon = Unique<IconTraits>;

struct MenuTraits {  // DestroyMenu
    using Handle = HMENU;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DestroyMenu(h); }
};
using UniqueMenu = Unique<MenuTraits>;

struct HookTraits {  // UnhookWindowsHookEx
    using Handle = HHOOK;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::UnhookWindowsHookEx(h); }
};
using UniqueHook = Unique<HookTraits>;

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
