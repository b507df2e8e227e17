#pragma once
// Starting the installed server as the signed-in user of the desktop, never with Setup's rights: the
// desktop's shell is asked to start it (its ShellExecute, reached through the desktop's folder view),
// so that it runs with the shell's token, as if the user had opened it there; where the shell takes
// no such request, it is started with a copy of the shell process's token.

#include <string>

#include "installer/plugin/ServerStart.h"

namespace setupkit {

struct StartReport {
    bool started = false;
    std::wstring reason;  // how it was started, or why not
};

StartReport startAsDesktopUser(const std::wstring& program, const std::wstring& folder);

}  // namespace setupkit
