#pragma once
// Whom Setup starts the server as: never as itself. An installer runs elevated, or as SYSTEM when a
// deployment runs it; the server is a long-lived program that loads libraries from its folder, serves
// the remote side and starts the maker's suite. So it is started only as the signed-in user of the
// desktop, through that desktop's shell, and not at all where there is no such user.

#include <cstdint>
#include <string>

namespace setupkit {

struct Starter {
    bool isLocalSystem = false;  // Setup's own account
    std::uint32_t session = 0;   // Setup's session: 0 holds services, never a user's desktop
    bool desktopShellFound = false;
};

enum class StartWay { ThroughDesktopShell, NotStarted };

struct StartChoice {
    StartWay way = StartWay::NotStarted;
    std::wstring reason;  // why not, for the log

    bool operator==(const StartChoice&) const = default;
};

StartChoice chooseServerStart(const Starter& starter);

}  // namespace setupkit
