// Stand-in for the clock library: journals every clock value it is asked to set.

#include <cstdint>

#include "mainboard/machine/Machine.h"

extern "C" std::uint32_t __stdcall SetClock(std::uint32_t value) {
    simboard::Machine::instance().journal("Ticksmith", "SetClock", {value}, 1);
    return 1;
}
