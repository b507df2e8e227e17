#include "tiktor/TiktorDialog.h"

#include <cstdint>

#include "tiktor/ClockRequest.h"
#include "tiktor/resource.h"

namespace tiktor {

namespace {

// A window's paint session, ended with EndPaint.
class PaintSession {
  public:
    explicit PaintSession(HWND window) noexcept : m_window(window) { m_dc = ::BeginPaint(window, &m_paint); }
    ~PaintSession() { ::EndPaint(m_window, &m_paint); }
    PaintSession(const PaintSession&) = delete;
    PaintSession& operator=(const PaintSession&) = delete;

    HDC dc() const noexcept { return m_dc; }

  private:
    HWND m_window;
    PAINTSTRUCT m_paint{};
    HDC m_dc;
};

// Every attempt to show the dialog, its own creation included, is turned into a plain move.
void keepHidden(LPARAM windowPos) { reinterpret_cast<WINDOWPOS*>(windowPos)->flags &= ~UINT{SWP_SHOWWINDOW}; }

}  // namespace

TiktorDialog::TiktorDialog(HINSTANCE instance)
    : m_instance(instance), m_icon(::LoadIconA(instance, MAKEINTRESOURCEA(IDI_TIKTOR))) {}

void TiktorDialog::runModal() {
    ::DialogBoxParamA(m_instance, MAKEINTRESOURCEA(IDD_TIKTOR), nullptr, dialogProc,
                      reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK TiktorDialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Positions change before WM_INITDIALOG introduces the object; hiding needs no object.
    if (message == WM_WINDOWPOSCHANGING) {
        keepHidden(lParam);
        return FALSE;
    }
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<TiktorDialog*>(lParam)->m_window = window;
    }
    auto* dialog = reinterpret_cast<TiktorDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    return dialog ? dialog->handleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR TiktorDialog::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const auto clock = requestedClock(message, m_broadcastMessage, static_cast<std::uint32_t>(lParam))) {
        m_libraries.setClock(*clock);
        return FALSE;  // the broadcast goes on to the default handling as well
    }
    switch (message) {
        case WM_INITDIALOG:
            return onInitDialog();
        case WM_PAINT:
            if (!::IsIconic(m_window)) return FALSE;
            paintMinimised();
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(m_icon);
        case WM_COMMAND:
            if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
            ::EndDialog(m_window, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR TiktorDialog::onInitDialog() {
    // The dialog manager has already built the controls from the template: nothing else to set up.
    ::SendMessageA(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    ::SendMessageA(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));

    m_libraries.bind();
    if (!m_libraries.openEventSource()) {
        // Without hardware events the relay has nothing to do: end before the modal loop starts.
        ::EndDialog(m_window, IDCANCEL);
        return FALSE;
    }
    m_libraries.registerForEvents();
    m_broadcastMessage = ::RegisterWindowMessageA(wire::kHardwareBroadcastName);
    return TRUE;  // the dialog manager may set the focus
}

void TiktorDialog::paintMinimised() {
    PaintSession paint(m_window);
    ::SendMessageA(m_window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.dc()), 0);
    RECT client;
    ::GetClientRect(m_window, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(paint.dc(), x, y, m_icon);
}

}  // namespace tiktor
