// Stand-in for the bridge library: journals what the server sends across the bridge.

#include <windows.h>

#include <cstdint>

#include "mainboard/machine/Machine.h"

using simboard::Machine;

namespace {
std::uint32_t g_controlData = 0;
std::uint32_t g_controlFunction = 0;
std::uint32_t g_bank = 0;
}  // namespace

extern "C" {

std::uint32_t __stdcall VeloGearInit() {
    Machine::instance().journal("Gearlink", "VeloGearInit", {}, 1);
    return 1;
}

std::uint32_t __stdcall GetControlData() {
    Machine::instance().journal("Gearlink", "GetControlData", {}, static_cast<std::int32_t>(g_controlData));
    return g_controlData;
}

std::uint32_t __stdcall SetControlData(std::uint32_t value) {
    Machine& m = Machine::instance();
    const bool sent = !simboard::consumeFault(m.state().faults.gearlinkSendFails);
    if (sent) g_controlData = value;
    m.journal("Gearlink", "SetControlData", {value}, sent);
    return sent ? 1 : 0;
}

std::uint32_t __stdcall SetBankSelector(std::uint32_t bank) {
    g_bank = bank;
    Machine::instance().journal("Gearlink", "SetBankSelector", {bank}, 1);
    return 1;
}

std::uint32_t __stdcall GetControlFunction() {
    Machine::instance().journal("Gearlink", "GetControlFunction", {},
                                static_cast<std::int32_t>(g_controlFunction));
    return g_controlFunction;
}

std::uint32_t __stdcall SetControlFunction(std::uint32_t value) {
    g_controlFunction = value;
    Machine::instance().journal("Gearlink", "SetControlFunction", {value}, 1);
    return 1;
}

}  // extern "C"
