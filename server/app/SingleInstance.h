#pragma once
// One server per machine: the session's mutex "Kelvane" and the machine's, held while the server runs.

#include <optional>

#include "win32/Handles.h"

namespace kelvane {

struct ServerInstance {
    win32::UniqueHandle sessionMutex;
    win32::UniqueHandle machineMutex;
};

// Both mutexes, or none when another server holds either of them, or keeps this user from them
// (one started with other rights, or by another user): this start is then the second instance.
std::optional<ServerInstance> claimServerInstance();

}  // namespace kelvane
