#include "server/app/MainForm.h"

#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>

#include "gpulib/GpuManager.h"
#include "protocol/Broadcast.h"
#include "protocol/ServerWindows.h"
#include "server/core/DefaultLoader.h"
#include "server/core/IntegerText.h"
#include "server/platform/GearlinkBridge.h"
#include "win32/Application.h"
#include "win32/ModalLoop.h"
#include "win32/Text.h"

namespace kelvane {

namespace {

// Registered once, before the program runs; nothing sends or handles it.
[[maybe_unused]] const UINT g_broadcastMessage = ::RegisterWindowMessageW(wire::kServerBroadcastName);

// The window's text conversion error, shown by the exception display of the window's dispatch.
class ConversionError : public std::runtime_error {
  public:
    explicit ConversionError(const std::wstring& text) : std::runtime_error(win32::narrow(text)) {}
};

std::u16string_view asU16(const std::wstring& text) {
    return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

std::int32_t integerOf(HWND control, bool trimmed = false) {
    const std::wstring text = win32::windowText(control);
    const std::u16string_view value = trimmed ? trimText(asU16(text)) : asU16(text);
    if (auto n = parseInteger(value)) return *n;
    const std::u16string message = conversionErrorMessage(value);
    throw ConversionError(std::wstring(message.begin(), message.end()));
}

// The outer size of a window whose client area is clientWidth x clientHeight.
SIZE outerSize(int clientWidth, int clientHeight, DWORD style) {
    RECT r{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&r, style, FALSE, 0);
    return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

TForm1::TForm1(ServerParts& parts)
    : m_parts(parts),
      m_cards(parts.cards),
      m_greencard(parts.greencard),
      m_channel({parts.registers, m_log, m_cards, &m_greencard, &parts.database,
                 [this](std::uint32_t fan) { showFan(fan); }}) {
    const DWORD style = WS_OVERLAPPEDWINDOW;
    const SIZE size = outerSize(581, 512, style);
    create(wire::kMainWindowClass, wire::kMainWindowCaption, style, 0, {0, 0, size.cx, size.cy});
    createControls();
    try {
        FormCreate();
    } catch (const std::exception& e) {
        // FormCreate ends at the failing step; the window lives on without the remaining steps.
        win32::reportException(e);
    }
}

TForm1::~TForm1() { destroy(); }

void TForm1::createControls() {
    m_font.reset(::CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                               L"Tahoma"));
    HWND w = hwnd();
    HFONT f = m_font.get();
    using namespace win32;
    using enum MainControl;
    const auto place = [](MainControl id, HWND created) {
        ::SetWindowLongPtrW(created, GWLP_ID, static_cast<LONG_PTR>(id));
    };
    place(Memo1, createControl(w, L"EDIT", L"", WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                               {8, 8, 249, 481}, f, WS_EX_CLIENTEDGE));
    place(Edit4, createEdit(w, L"", {263, 8, 121, 21}, f));
    place(Button1, createButton(w, L"Send", {390, 8, 75, 25}, f));
    place(Label1, createLabel(w, L"Name", 267, 56, f));
    place(Core, createLabel(w, L"Core", 267, 115, f));
    place(Label2, createLabel(w, L"Memory", 271, 159, f));
    place(LabMin1, createLabel(w, L"LabMin1", 413, 93, f));
    place(LabMax1, createLabel(w, L"LabMax1", 532, 93, f));
    place(LabMin2, createLabel(w, L"LabMin2", 413, 149, f));
    place(LabMax2, createLabel(w, L"LabMax2", 532, 149, f));
    place(Button2, createButton(w, L"Apply", {413, 309, 75, 25}, f));
    place(m_GpuName, createDropDownList(w, {L"a", L"b", L"c", L"d", L"e"}, {323, 53, 240, 21}, f));
    place(Edit1, createEdit(w, L"Edit1", {323, 112, 65, 21}, f));
    place(Edit2, createEdit(w, L"Edit2", {323, 156, 65, 21}, f));
    place(TrackBar1, createTrackBar(w, {413, 112, 150, 33}, 0, 10, 0));
    place(TrackBar2, createTrackBar(w, {413, 168, 150, 31}, 0, 10, 0));
    place(Button3, createButton(w, L"Run command", {281, 393, 75, 25}, f));
    place(Edit3, createEdit(w, L"Edit3", {281, 424, 121, 21}, f));
    place(Edit5, createEdit(w, L"Edit5", {431, 424, 121, 21}, f));
    place(Label3, createLabel(w, L"Voltage", 271, 215, f));
    place(Label4, createLabel(w, L"LabMin2", 413, 205, f));
    place(Label5, createLabel(w, L"LabMax2", 530, 205, f));
    place(Edit6, createEdit(w, L"Edit6", {323, 212, 65, 21}, f));
    place(TrackBar3, createTrackBar(w, {423, 224, 150, 31}, 1000, 2000, 1000));
    place(Button4, createButton(w, L"Clear memo", {271, 296, 75, 25}, f));
    place(Button5, createButton(w, L"Load default", {390, 261, 75, 25}, f));
    place(ComboBox1, createDropDownList(w, {L"0", L"1"}, {323, 80, 61, 21}, f));
    ::SendMessageW(control(ComboBox1), CB_SETCURSEL, 0, 0);
    place(Button6, createButton(w, L"Button6", {480, 344, 75, 25}, f));
    place(Button7, createButton(w, L"Write Fan Edit5 data", {341, 448, 113, 25}, f));
    place(Button8, createButton(w, L"Read Fan to Edit5 ", {460, 448, 113, 25}, f));
    m_log.attach(control(Memo1), w);
    m_loadDefaultTimer =
        std::make_unique<win32::Timer>(w, DefaultLoadRuns::kPeriodMs, [this] { LoadDefaultTimerTick(); });
    m_createTrayTimer = std::make_unique<win32::Timer>(w, 1000, [] {});  // never enabled
}

void TForm1::FormCreate() {
    openAcpiDevice();
    ::Sleep(kStartWaitMs);
    m_trayManager = std::make_unique<TTrayManager>(hwnd(), [this] {
        if (m_showAbout) m_showAbout();
    });
    m_trayManager->Setup();
    m_registerRetryTimer = std::make_unique<win32::Timer>(hwnd(), RegistrationRetry::kPeriodMs,
                                                          [this] { RegisterRetryTimerTick(); });
    m_registered = registerForRemoteLink(hwnd());
    if (!m_registered) m_registerRetryTimer->setEnabled(true);
    m_log.clear();
    win32::setText(control(MainControl::Edit4), L"");
    // No manager means no supported card: no display device, or devices of different vendors.
    IGpuManager* manager = GetGpuManager();
    const bool initialised = manager && manager->Init();
    m_cards.cardCount = manager ? manager->GetGpuCount() : 0;
    m_cards.greencardActive = manager && manager->IsNvidiaGpu();
    RefreshCardState();
    m_loadDefaultTimer->setEnabled(true);
    if (!initialised && !m_cards.greencardActive)
        win32::showMessage(L"Please install the right VGA driver first!");
    if (m_cards.greencardActive) m_cards.cardCount = static_cast<std::int32_t>(wire::kActiveBackEndCardCount);
}

void TForm1::FormDestroy() {
    if (!m_trayManager) return;
    m_trayManager->Teardown();
    m_trayManager.reset();
}

void TForm1::AddLogLine(std::string_view text) { m_log.addLine(text); }

void TForm1::RefreshCardState() {
    if (m_cards.greencardActive) m_greencard.Nv_GetGPUClockInfoPStates(0, m_cards.record);
}

void TForm1::RefreshAllCards() {
    if (!m_cards.greencardActive) return;
    // Each card's read overwrites the previous one: the record holds the last card's clocks.
    for (std::int32_t card = 0; card < m_cards.cardCount; ++card)
        m_greencard.Nv_GetGPUClockInfoPStates(card, m_cards.record);
}

void TForm1::LoadDefaults() { loadDefaults(m_cards, m_greencard, m_parts.database); }

void TForm1::RegisterRetryTimerTick() {
    const bool again = m_registerRetry.tick([this] { return m_registered = registerForRemoteLink(hwnd()); });
    m_registerRetryTimer->setEnabled(again);
}

void TForm1::LoadDefaultTimerTick() {
    LoadDefaults();
    if (!m_defaultLoadRuns.afterRun()) m_loadDefaultTimer->setEnabled(false);
}

void TForm1::Button1Click() {
    if (win32::windowText(control(MainControl::Edit4)).empty()) {
        static std::minstd_rand random(::GetTickCount());
        wchar_t text[16];
        std::swprintf(text, 16, L"0x0000%x", static_cast<unsigned>(random() % 65535));
        win32::setText(control(MainControl::Edit4), text);
    }
    const auto value = static_cast<std::uint32_t>(integerOf(control(MainControl::Edit4)));
    AddLogLine(std::to_string(value));
    GearlinkBridge& bridge = GearlinkBridge::instance();
    AddLogLine(bridge.setControlData(value) ? "Send OK" : "Send fail");
    AddLogLine("flag = 0");
    bridge.setControlFunction(0);
}

// The fan buttons do not ask whether the NVIDIA back end is active: without its library they
// change nothing on a card, and the read shows the fan value that the record already holds.
void TForm1::Button7Click() {
    m_cards.record.fan.current = integerOf(control(MainControl::Edit5), /*trimmed=*/true);
    m_greencard.Nv_SetGPUFan(0, m_cards.record);
}

void TForm1::Button8Click() {
    m_greencard.Nv_GetGPUFan(0, m_cards.record);
    showFan(static_cast<std::uint32_t>(m_cards.record.fan.current));
}

void TForm1::ComboBox1Change() {
    (void)integerOf(control(MainControl::ComboBox1));
    RefreshAllCards();
}

void TForm1::showFan(std::uint32_t fan) { win32::setText(control(MainControl::Edit5), std::to_wstring(fan)); }

void TForm1::onCommand(MainControl id, WORD code) {
    using enum MainControl;
    if (code == BN_CLICKED) {
        if (id == Button1)
            Button1Click();
        else if (id == Button4)
            m_log.clear();
        else if (id == Button5)
            LoadDefaults();
        else if (id == Button7)
            Button7Click();
        else if (id == Button8)
            Button8Click();
    } else if (code == CBN_SELCHANGE) {
        if (id == m_GpuName)
            RefreshAllCards();
        else if (id == ComboBox1)
            ComboBox1Change();
    }
}

void TForm1::onTrackBar(MainControl id) {
    using enum MainControl;
    const std::wstring position = std::to_wstring(win32::trackBarPosition(control(id)));
    if (id == TrackBar1)
        win32::setText(control(Edit1), position);
    else if (id == TrackBar2)
        win32::setText(control(Edit2), position);
    else if (id == TrackBar3)
        win32::setText(control(Edit6), position);
}

LRESULT TForm1::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // The message's work is done (a remote request answered, its flag cleared), or ended by an
    // exception that the window's procedure reports: now its log lines. Once the session's end has
    // been told, the process may be ended at any moment.
    struct Delivery {
        ServerLog& log;
        bool sessionEnds;
        ~Delivery() {
            if (sessionEnds)
                log.finish();
            else
                log.deliver();
        }
    } delivery{m_log, message == WM_ENDSESSION && wParam};
    return dispatch(message, wParam, lParam);
}

LRESULT TForm1::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case wire::kRemoteNotifyMessage:
            m_channel.onNotification(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
            return 0;
        case WM_COMMAND:
            if (lParam) onCommand(static_cast<MainControl>(LOWORD(wParam)), HIWORD(wParam));
            return 0;
        case WM_HSCROLL:
            if (lParam) onTrackBar(static_cast<MainControl>(::GetDlgCtrlID(reinterpret_cast<HWND>(lParam))));
            return 0;
        case WM_CLOSE:
            // Under a modal loop (the tray menu, a message box) the close waits until the loop has
            // returned: the objects whose handlers run under it must outlive it.
            if (win32::closeAfterModalLoops(hwnd())) return 0;
            return win32::Window::handleMessage(message, wParam, lParam);
        case WM_DESTROY:
            FormDestroy();
            ::PostQuitMessage(0);
            return 0;
        default:
            return win32::Window::handleMessage(message, wParam, lParam);
    }
}

}  // namespace kelvane
