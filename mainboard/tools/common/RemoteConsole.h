#pragma once
// The second machine's side of the remote link: it writes the request words and the flag into the
// board's registers, notifies the window that the server registered, and waits for the flag to clear.

#include <windows.h>

#include <cstdint>
#include <string>

#include "mainboard/machine/Machine.h"
#include "mainboard/tools/common/LinkVerbs.h"

namespace simboard {

enum class LinkStatus { Answered = 0, NoServer = 2, Timeout = 3 };

struct LinkResult {
    LinkStatus status = LinkStatus::Answered;
    Words answer{};
    std::string error;  // a sentence for the user when status is not Answered
    bool ok() const { return status == LinkStatus::Answered; }
};

class RemoteConsole {
  public:
    explicit RemoteConsole(Machine& machine) : m_machine(machine) {}

    // The window registered for notifications, or nullptr with a reason in `why`.
    HWND serverWindow(std::string& why) const;

    // One request and its answer; target nullptr means the registered server window.
    LinkResult request(const Words& words, DWORD timeoutMs, HWND target = nullptr,
                       std::uint32_t lParam = wire::kRemoteNotifyLParam);

    // A notification without touching any register.
    LinkResult notify(std::uint32_t wParam, std::uint32_t lParam);

    // The two halves of a request, for a caller that puts other things between them: the words and
    // the flag into the registers (the flag last), then the link's notification and the wait for
    // the flag to clear. The answer is whatever the words hold then.
    void stage(const Words& words, std::uint32_t flag = wire::kFlagRequestWaiting);
    LinkResult notifyAndWait(DWORD timeoutMs, HWND target, std::uint32_t lParam = wire::kRemoteNotifyLParam);

  private:
    Machine& m_machine;
};

// The registered server's window and process, for the console's long runs; when there is none, it
// says why on stderr and the window is null.
struct ServerProcess {
    HWND window = nullptr;
    DWORD processId = 0;
};
ServerProcess findServer(const RemoteConsole& console);

}  // namespace simboard
