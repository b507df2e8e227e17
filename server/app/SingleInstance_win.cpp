#include "server/app/SingleInstance.h"

#include <sddl.h>

#include "protocol/SingleInstance.h"
#include "win32/LocalMemory.h"

namespace kelvane {
namespace {

// Every authenticated user may wait on the machine's mutex (SYNCHRONIZE) and do nothing else with it.
constexpr wchar_t kMachineMutexAccess[] = L"D:(A;;0x00100000;;;AU)";

// A mutex that exists already, or that this user may not open, belongs to another server.
bool takenByAnother(const win32::UniqueHandle& mutex, DWORD error) {
    return error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED);
}

}  // namespace

std::optional<ServerInstance> claimServerInstance() {
    ServerInstance instance;
    instance.sessionMutex.reset(::CreateMutexW(nullptr, FALSE, wire::kSessionServerMutexName));
    if (takenByAnother(instance.sessionMutex, ::GetLastError())) return std::nullopt;

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kMachineMutexAccess, SDDL_REVISION_1,
                                                                &descriptor, nullptr))
        return std::nullopt;
    const win32::UniqueLocalMemory descriptorOwner(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    instance.machineMutex.reset(::CreateMutexW(&attributes, FALSE, wire::kMachineServerMutexName));
    if (takenByAnother(instance.machineMutex, ::GetLastError())) return std::nullopt;
    return instance;
}

}  // namespace kelvane
