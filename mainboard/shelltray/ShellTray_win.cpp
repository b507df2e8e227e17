#include "mainboard/shelltray/ShellTray.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <stdexcept>

#include "mainboard/machine/Machine.h"

namespace simboard {

namespace {

constexpr wchar_t kShellTrayClass[] = L"Shell_TrayWnd";

// wine's Shell_NotifyIconW hands the record over as WM_COPYDATA (dwData: the NIM_ message) in a layout
// of its own, measured: the icon's window as a 32-bit word, id, flags, callback message, the tip of
// 128 UTF-16 units, state and state mask, the balloon text of 256 units, the timeout, the balloon
// title of 64 units and the balloon's flags. The rest (the icon's bitmap) is not read here.
struct TrayRecordStart {
    std::uint32_t window;
    std::uint32_t id;
    std::uint32_t flags;
    std::uint32_t callbackMessage;
    char16_t tip[128];
    std::uint32_t state;
    std::uint32_t stateMask;
    char16_t info[256];
    std::uint32_t timeout;
    char16_t infoTitle[64];
    std::uint32_t infoFlags;
};

// A zero-terminated text of a fixed field (or the whole field, when it holds no zero).
template <std::size_t N>
std::u16string fieldText(const char16_t (&field)[N]) {
    return std::u16string(field, std::find(field, field + N, u'\0'));
}

}  // namespace

ShellTray::ShellTray() {
    std::promise<bool> ready;
    std::future<bool> created = ready.get_future();
    m_thread = std::thread([this, &ready] { run(ready); });
    if (!created.get()) {
        m_thread.join();
        throw std::runtime_error("the board's shell tray window could not be made");
    }
}

ShellTray::~ShellTray() {
    ::PostMessageW(m_window, WM_CLOSE, 0, 0);
    m_thread.join();
}

void ShellTray::run(std::promise<bool>& ready) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ShellTray::windowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kShellTrayClass;
    ::RegisterClassW(&wc);  // once per process; a second registration fails harmlessly
    m_window = ::CreateWindowExW(0, kShellTrayClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 wc.hInstance, this);
    ready.set_value(m_window != nullptr);
    if (!m_window) return;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
}

LRESULT CALLBACK ShellTray::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        ::SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<ShellTray*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_COPYDATA)
        return self->receive(reinterpret_cast<HWND>(wParam),
                             *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    if (message == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT ShellTray::receive(HWND sender, const COPYDATASTRUCT& data) {
    if (data.cbData < sizeof(TrayRecordStart)) return FALSE;
    TrayRecordStart r;
    std::memcpy(&r, data.lpData, sizeof r);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(sender, &processId);
    std::lock_guard<std::mutex> guard(m_lock);
    const auto icon = std::make_pair(r.window, r.id);
    bool accepted = false;
    switch (data.dwData) {
        case NIM_ADD:
            if (m_refusals > 0)
                --m_refusals;
            else
                accepted = m_icons.insert(icon).second;  // an icon is added once, as the shell does
            break;
        case NIM_MODIFY:
            accepted = m_icons.contains(icon);
            break;
        case NIM_DELETE:
            accepted = m_icons.erase(icon) == 1;
            break;
        default:
            break;
    }
    m_messages.push_back({static_cast<std::uint32_t>(data.dwData), processId, r.window, r.id, r.flags,
                          r.callbackMessage, fieldText(r.tip), fieldText(r.info), fieldText(r.infoTitle),
                          r.infoFlags, Machine::nowUs(), accepted});
    return accepted ? TRUE : FALSE;
}

void ShellTray::refuseAdds(int count) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_refusals = count;
}

void ShellTray::forgetIcons() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_icons.clear();
}

std::vector<TrayMessage> ShellTray::messages() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_messages;
}

bool ShellTray::holds(std::uint32_t window, std::uint32_t id) const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_icons.contains(std::make_pair(window, id));
}

}  // namespace simboard
