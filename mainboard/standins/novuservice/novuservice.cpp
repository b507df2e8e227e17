// Stand-in for the platform service: remembers the window that registers for remote-link
// notifications, so that the remote console knows where to post them.

#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "mainboard/machine/Machine.h"
#include "protocol/RemoteLink.h"
#include "win32/WindowWord.h"

extern "C" std::int32_t __stdcall NuSysSvr_RegisterNotify(HWND window, const wchar_t* text) {
    simboard::Machine& m = simboard::Machine::instance();
    simboard::NotifyState& notify = m.state().notify;
    const bool knownClient = text != nullptr && std::wcscmp(text, wire::kRegistrationText) == 0;
    const std::uint64_t reserved = m.reserveEntry();
    const bool refused = simboard::consumeFault(m.state().faults.registrationRefusals);
    const bool accepted = knownClient && !refused;
    simboard::incrementWord(notify.attempts);
    if (accepted) {
        simboard::storeWord(notify.window, win32::wordFromWindow(window));
        simboard::incrementWord(notify.registrations);
    }
    m.journal(reserved, "novuservice", "NuSysSvr_RegisterNotify",
              {win32::wordFromWindow(window), knownClient ? 1u : 0u}, accepted ? 1 : 0);
    return accepted ? 1 : 0;
}
