// Stand-in for the platform service: remembers the window that registers for remote-link
// notifications, so that the remote console knows where to post them.

#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "mainboard/machine/Machine.h"
#include "win32/WindowWord.h"

namespace {
constexpr wchar_t kRemoteLinkClient[] = L"DCA9F97F-3ED4-4b5c-A2CD-AB5C7422696C";
}

extern "C" std::int32_t __stdcall NuSysSvr_RegisterNotify(HWND window, const wchar_t* text) {
    simboard::Machine& m = simboard::Machine::instance();
    simboard::NotifyState& notify = m.state().notify;
    const bool knownClient = text != nullptr && std::wcscmp(text, kRemoteLinkClient) == 0;
    const bool refused = simboard::consumeFault(m.state().faults.registrationRefusals);
    const bool accepted = knownClient && !refused;
    simboard::storeWord(notify.attempts, simboard::loadWord(notify.attempts) + 1);
    if (accepted) {
        simboard::storeWord(notify.window,
                            win32::wordFromWindow(window));
        simboard::storeWord(notify.registrations, simboard::loadWord(notify.registrations) + 1);
    }
    m.journal("novuservice", "NuSysSvr_RegisterNotify",
              {win32::wordFromWindow(window), knownClient ? 1u : 0u},
              accepted ? 1 : 0);
    return accepted ? 1 : 0;
}
