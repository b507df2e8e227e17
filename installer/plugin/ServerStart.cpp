#include "installer/plugin/ServerStart.h"

namespace setupkit {

StartChoice chooseServerStart(const Starter& starter) {
    if (starter.isLocalSystem)
        return {StartWay::NotStarted,
                L"Setup runs as SYSTEM, not as a signed-in user: the next logon starts it"};
    if (starter.session == 0)
        return {StartWay::NotStarted,
                L"Setup runs in session 0, where no user's desktop is: the next logon starts it"};
    if (starter.desktopShellFound) return {StartWay::ThroughDesktopShell, {}};
    if (starter.shellTokenFound) return {StartWay::WithShellToken, {}};
    return {StartWay::NotStarted,
            L"the desktop's shell, which would start it as the signed-in user, was not found: the next logon "
            L"starts it"};
}

}  // namespace setupkit
