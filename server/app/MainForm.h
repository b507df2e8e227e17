#pragma once
// The server's main window: never shown; target of the remote-link notifications, owner of the
// timers, and a log console (memo plus debugger output).

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>

#include "server/app/ServerLog.h"
#include "server/app/ServerParts.h"
#include "server/core/RemoteChannel.h"
#include "server/core/StartupCounters.h"
#include "server/tray/TrayManager.h"
#include "win32/Controls.h"
#include "win32/Handles.h"
#include "win32/Window.h"

namespace kelvane {

// The controls of the main window in declaration order; each carries its number as control id.
enum class MainControl : int {
    Memo1 = 1001,
    Edit4,
    Button1,
    Label1,
    Core,
    Label2,
    LabMin1,
    LabMax1,
    LabMin2,
    LabMax2,
    Button2,
    m_GpuName,
    Edit1,
    Edit2,
    TrackBar1,
    TrackBar2,
    Button3,
    Edit3,
    Edit5,
    Label3,
    Label4,
    Label5,
    Edit6,
    TrackBar3,
    Button4,
    Button5,
    ComboBox1,
    Button6,
    Button7,
    Button8,
};

class TForm1 final : public win32::Window {
  public:
    explicit TForm1(ServerParts& parts);  // creates the window and runs FormCreate
    ~TForm1() override;

    void AddLogLine(std::string_view text);
    void RefreshCardState();
    void RefreshAllCards();
    void LoadDefaults();
    // What the tray menu's "About" does: show the About box (unset: nothing).
    void setShowAbout(std::function<void()> showAbout) { m_showAbout = std::move(showAbout); }

  private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    HWND control(MainControl id) const { return ::GetDlgItem(hwnd(), static_cast<int>(id)); }
    void FormCreate();
    void onCommand(MainControl id, WORD code);
    void onTrackBar(MainControl id);
    void RegisterRetryTimerTick();
    void LoadDefaultTimerTick();
    void Button1Click();
    void Button7Click();
    void Button8Click();
    void ComboBox1Change();
    void showFan(std::uint32_t fan);
    void FormDestroy();

    win32::UniqueFont m_font;
    ServerLog m_log;
    std::unique_ptr<win32::Timer> m_loadDefaultTimer;
    std::unique_ptr<win32::Timer> m_createTrayTimer;
    std::unique_ptr<win32::Timer> m_registerRetryTimer;
    bool m_registered = false;
    RegistrationRetry m_registerRetry;
    DefaultLoadRuns m_defaultLoadRuns;
    ServerParts& m_parts;
    CardState& m_cards;
    GreencardBackend& m_greencard;
    RemoteChannel m_channel;
    std::function<void()> m_showAbout;
    std::unique_ptr<TTrayManager> m_trayManager;  // from FormCreate to FormDestroy
};

}  // namespace kelvane
