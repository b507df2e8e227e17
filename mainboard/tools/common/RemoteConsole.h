#pragma once
// The second machine's side of the remote link on the board: the remote side's kit (remote/) over
// the board's port. The port is the register bank of the machine state, reached from the remote end
// with a selector of its own (the bank's selector is the server's), and the platform service's
// notification, posted to the window registered with the service. Beside the kit's requests the
// console can misbehave on purpose (a flag other than 1, a notification alone, words staged without
// one), for the tests and the soak run that hold the server to what it does then.

#include <windows.h>

#include <cstdint>
#include <string>

#include "mainboard/machine/Machine.h"
#include "mainboard/tools/common/LinkVerbs.h"
#include "remote/RemoteSide.h"

namespace simboard {

// The board's port as the kit's transport.
class BoardPort {
  public:
    explicit BoardPort(Machine& machine) : m_machine(machine) {}
    BoardPort(const BoardPort&) = delete;
    BoardPort& operator=(const BoardPort&) = delete;

    kvr_transport transport();

    // The window registered for notifications, or nullptr with a reason in `why`.
    HWND serverWindow(std::string& why) const;

    HWND target = nullptr;  // where notifications go; none: the window registered with the service
    std::uint32_t lParam = wire::kRemoteNotifyLParam;
    unsigned notificationsToLose = 0;  // the next N go nowhere, as when nobody is registered
    std::string lastLoss;              // why the last notification went nowhere; empty once one is posted

  private:
    static BoardPort& of(void* context) { return *static_cast<BoardPort*>(context); }
    static bool read(void* context, std::uint32_t id, std::uint32_t* value);
    static bool write(void* context, std::uint32_t id, std::uint32_t value);
    static bool notify(void* context);
    static std::uint32_t now(void* context);
    static void pause(void* context, std::uint32_t waitedMs);

    Machine& m_machine;
    std::uint32_t m_selector = 0;
    unsigned m_spins = 0;
};

struct LinkResult {
    kvr_status status = KVR_ANSWERED;
    Words answer{};
    std::string error;  // a sentence for the user when status is not KVR_ANSWERED
    bool ok() const { return status == KVR_ANSWERED; }
};

class RemoteConsole {
  public:
    explicit RemoteConsole(Machine& machine) : m_machine(machine), m_port(machine) {}

    BoardPort& port() { return m_port; }
    HWND serverWindow(std::string& why) const { return m_port.serverWindow(why); }

    // Three words through the kit as they are, announced once and waited for up to timeoutMs (then
    // withdrawn); target nullptr means the window registered with the service.
    LinkResult request(const Words& words, DWORD timeoutMs, HWND target = nullptr,
                       std::uint32_t lParam = wire::kRemoteNotifyLParam);

    // On purpose, around the kit: a notification alone, without touching any register.
    LinkResult notify(std::uint32_t wParam, std::uint32_t lParam);

    // On purpose, around the kit: the words and then the flag (any value) into the registers, and
    // apart from it the link's notification and the wait for the flag to clear; the answer is
    // whatever the words hold then. A timeout leaves the flag as it is.
    void stage(const Words& words, std::uint32_t flag = wire::kFlagRequestWaiting);
    LinkResult notifyAndWait(DWORD timeoutMs, HWND target, std::uint32_t lParam = wire::kRemoteNotifyLParam);

  private:
    Machine& m_machine;
    BoardPort m_port;
};

// A sentence for a request's end: the kit's status and what the board knows of the notification.
std::string explainFailure(const kvr_link& link, const BoardPort& port);

// The registered server's window and process, for the console's long runs; when there is none, it
// says why on stderr and the window is null.
struct ServerProcess {
    HWND window = nullptr;
    DWORD processId = 0;
};
ServerProcess findServer(const RemoteConsole& console);

}  // namespace simboard
