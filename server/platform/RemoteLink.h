#pragma once
// The platform side of the remote link: the ACPI registers (imported from nuacpi.dll by ordinal)
// and the notification registration (imported from novuservice.dll by name).

#include <windows.h>

#include <cstdint>

#include "server/core/Ports.h"

namespace kelvane {

void openAcpiDevice();

// Registers a window for remote-link notifications; true when the service accepted it.
bool registerForRemoteLink(HWND window);

class AcpiRegisters final : public RegisterBus {
  public:
    std::uint32_t read(std::uint32_t deviceId) override;
    void write(std::uint32_t deviceId, std::uint32_t value) override;
};

}  // namespace kelvane
