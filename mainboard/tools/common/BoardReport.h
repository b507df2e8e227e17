#pragma once
// simctl's readable side of the machine state: the described hardware with its live values, the
// fault switches, and the fault settings a user types.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "mainboard/machine/MachineLogic.h"
#include "mainboard/tools/common/Json.h"

namespace simboard {

// Each device, card and item, one block each, with the values they hold now.
std::string describeHardware(const MachineHardware& h);

// e.g. "next 2      device 1, error 13"
std::string describeFaultState(const FaultName& fault, std::int32_t counter, const FaultDetail& detail);
// The same as one JSON object for scripts, e.g. {"state":"next","next":2,"device":1,"error":13}: state
// "off", "next" (the next `next` calls fail) or "always", then the aim the fault takes (null: any).
Json faultStateJson(const FaultName& fault, std::int32_t counter, const FaultDetail& detail);

struct FaultSetting {
    std::int32_t counter = 1;
    FaultDetail detail{kAnyTarget, kAnyProperty, 0};
};

// "[N|always|off] [--device K] [--card K] [--item ID] [--property NAME] [--error E] [--value V]", each
// option only where the fault takes it. A setting, or what is wrong with the arguments.
std::variant<FaultSetting, std::string> parseFaultSetting(const FaultName& fault,
                                                          std::span<const std::string_view> args);

}  // namespace simboard
