#include "win32/Dpi.h"

#include <algorithm>

#include "win32/ExportBinding.h"
#include "win32/Handles.h"

namespace win32 {

namespace {

#define KV_USER32_DPI_EXPORTS(X)                        \
    X(GetDpiForWindow, "GetDpiForWindow", UINT, (HWND)) \
    X(GetSystemMetricsForDpi, "GetSystemMetricsForDpi", int, (int, UINT))

// user32's per-monitor calls, where the system has them.
struct DpiCalls {
    DpiCalls() { KV_BIND_EXPORTS(KV_USER32_DPI_EXPORTS, ::GetModuleHandleW(L"user32.dll")); }
    KV_USER32_DPI_EXPORTS(KV_DECLARE_EXPORT)
};

const DpiCalls& dpiCalls() {
    static const DpiCalls calls;
    return calls;
}

}  // namespace

int dpiOfChange(WPARAM wParam) { return std::clamp(static_cast<int>(LOWORD(wParam)), kLeastDpi, kMostDpi); }

int windowDpi(HWND window) {
    if (const UINT dpi = callBound(dpiCalls().m_pGetDpiForWindow, window)) return static_cast<int>(dpi);
    const UniqueMemoryDC screen(::CreateCompatibleDC(nullptr));
    return ::GetDeviceCaps(screen.get(), LOGPIXELSX);
}

int systemMetricForDpi(int index, int dpi) {
    if (dpiCalls().m_pGetSystemMetricsForDpi)
        return dpiCalls().m_pGetSystemMetricsForDpi(index, static_cast<UINT>(dpi));
    return ::GetSystemMetrics(index);
}

}  // namespace win32
