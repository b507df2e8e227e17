// Stand-in for the ACPI access library: the register bank of the board's machine state.

#include <windows.h>

#include <cstdint>

#include "mainboard/machine/Machine.h"

using simboard::Machine;

extern "C" {

std::uint32_t __stdcall NuAcpiOpen() {
    Machine::instance().journal("nuacpi", "Open", {}, 1);
    return 1;
}

std::uint32_t __stdcall NuAcpiWrite(std::uint32_t deviceId, std::uint32_t value, std::uint32_t third) {
    Machine& m = Machine::instance();
    const std::uint64_t entry = m.reserveEntry();
    const bool ok = simboard::writeRegister(m.state(), deviceId, value);
    m.journal(entry, "nuacpi", "Write", {deviceId, value, third}, ok);
    return ok ? 1 : 0;
}

std::uint32_t __stdcall NuAcpiRead(std::uint32_t deviceId, std::uint32_t* value) {
    Machine& m = Machine::instance();
    std::uint32_t v = 0;
    const bool ok = simboard::readRegister(m.state(), deviceId, v);
    if (value) *value = v;
    m.journal("nuacpi", "Read", {deviceId, v}, ok);
    return ok ? 1 : 0;
}

}  // extern "C"
