#pragma once
// Whom Setup starts the server as: never as itself. An installer runs elevated, or as SYSTEM when a
// deployment runs it; the server is a long-lived program that loads libraries from its folder, serves
// the remote side and starts the maker's suite. So it is started only as the signed-in user of the
// desktop, and not at all where there is no such user: by the desktop's shell itself where it takes
// the request, else with the token of the shell's process (the user's, unelevated).

#include <cstdint>
#include <string>

namespace setupkit {

struct Starter {
    bool isLocalSystem = false;  // Setup's own account
    std::uint32_t session = 0;   // Setup's session: 0 holds services, never a user's desktop
    bool desktopShellFound = false;
    bool shellTokenFound = false;  // the token of the desktop's shell process, duplicated
};

enum class StartWay { ThroughDesktopShell, WithShellToken, NotStarted };

struct StartChoice {
    StartWay way = StartWay::NotStarted;
    std::wstring reason;  // why not, for the log

    bool operator==(const StartChoice&) const = default;
};

StartChoice chooseServerStart(const Starter& starter);

}  // namespace setupkit
