#include "server/platform/RemoteLink.h"

#include "protocol/RemoteLink.h"

extern "C" {
__declspec(dllimport) std::uint32_t __stdcall NuAcpiOpen();
__declspec(dllimport) std::uint32_t
    __stdcall NuAcpiWrite(std::uint32_t deviceId, std::uint32_t value, std::uint32_t always1);
__declspec(dllimport) std::uint32_t __stdcall NuAcpiRead(std::uint32_t deviceId, std::uint32_t* value);
__declspec(dllimport) std::int32_t __stdcall NuSysSvr_RegisterNotify(HWND window, const wchar_t* client);
}

namespace kelvane {

void openAcpiDevice() { NuAcpiOpen(); }

bool registerForRemoteLink(HWND window) {
    return NuSysSvr_RegisterNotify(window, wire::kRegistrationText) != 0;
}

std::uint32_t AcpiRegisters::read(std::uint32_t deviceId) {
    std::uint32_t value = 0;  // what a failed read leaves behind
    NuAcpiRead(deviceId, &value);
    return value;
}

void AcpiRegisters::write(std::uint32_t deviceId, std::uint32_t value) { NuAcpiWrite(deviceId, value, 1); }

}  // namespace kelvane
