#pragma once
// The server's log: each line is queued for the debugger output and for the main window's memo, and
// nothing is written while the window handles a message: a remote request is answered first.
// deliver(), at the end of each of the window's messages, hands the queued lines to the debugger
// output's writer thread (win32/DebugOutput.h) and arms the memo's timer, which appends them in one
// go (its interval grows after a long append: win32::memoFlushDelayMs).

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
    ServerLog() = default;
    ServerLog(const ServerLog&) = delete;
    ServerLog& operator=(const ServerLog&) = delete;
    ~ServerLog() override;  // waits for the debugger output as finish() does

    // The memo control and the window that owns the flush timer; lines are added only after this.
    void attach(HWND memo, HWND owner);
    void addLine(std::string_view text) override;
    void deliver();
    // deliver(), then waits until the debugger output is written, at most win32::kDebugOutputFinishMs:
    // the program is ending.
    void finish();
    void clear();

  private:
    std::unique_ptr<win32::MemoLog> m_memo;
    std::unique_ptr<win32::Timer> m_flushTimer;
};

}  // namespace kelvane
