#pragma once
// The server's log: each line goes to the debugger output at once and is queued for the main
// window's memo, which receives the queued lines in one append on a 100 ms timer.

#include <windows.h>

#include <memory>
#include <string_view>

#include "server/core/Ports.h"
#include "win32/Controls.h"
#include "win32/Window.h"

namespace kelvane {

inline constexpr int kMemoMaxLines = 2000;

class ServerLog final : public LogSink {
  public:
    // The memo control and the window that owns the flush timer; lines are added only after this.
    void attach(HWND memo, HWND owner);
    void addLine(std::string_view text) override;
    void clear();

  private:
    std::unique_ptr<win32::MemoLog> m_memo;
    std::unique_ptr<win32::Timer> m_flushTimer;
};

}  // namespace kelvane
