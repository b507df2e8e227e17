// Stand-in for the hardware event library. Opening follows the board's "event-open" fault switch;
// the events themselves are broadcast by simctl, as the platform would after a registration.

#include <cstdint>

#include "mainboard/machine/Machine.h"

using simboard::Machine;

extern "C" {

std::uint32_t __stdcall NuWMI_Open() {
    Machine& m = Machine::instance();
    const bool opened = !simboard::consumeFault(m.state().faults.eventOpenFails);
    m.journal("Evtwatch", "NuWMI_Open", {}, opened ? 1 : 0);
    return opened ? 1 : 0;
}

std::uint32_t __stdcall NuWMI_RegisterEvent() {
    Machine::instance().journal("Evtwatch", "NuWMI_RegisterEvent", {}, 1);
    return 1;
}

}  // extern "C"
