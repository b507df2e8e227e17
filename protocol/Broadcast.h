#pragma once
// Names of the registered window messages that programs of the system broadcast.

#include <cstdint>

namespace wire {

// Registered by the server at start-up under this name.
inline constexpr wchar_t kServerBroadcastName[] = L"NOVU_KELVANE_BROADCAST_MESSAGE";

// The hardware event broadcast whose lParam may carry a clock request for tiktor.
inline constexpr char kHardwareBroadcastName[] = "WM_NOVU_BROADCAST_MESSAGE";

// The upper half of lParam in a clock request; the lower half is the clock in hundreds of units.
inline constexpr std::uint32_t kClockRequestTag = 0xA000;

}  // namespace wire
