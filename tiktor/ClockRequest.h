#pragma once
// What a broadcast clock request asks of the clock library. Kept free of Windows types so that it
// is tested natively.

#include <cstdint>
#include <optional>

#include "protocol/Broadcast.h"

namespace tiktor {

inline constexpr std::uint32_t kClockValueScale = 100;  // the request counts in hundreds of clock units

// The value for SetClock that a message asks for, or none when it is no clock request.
// broadcastMessage is the registered message number; 0 (not registered) matches no message.
constexpr std::optional<std::uint32_t> requestedClock(std::uint32_t message, std::uint32_t broadcastMessage,
                                                      std::uint32_t lParam) {
    if (broadcastMessage == 0 || message != broadcastMessage || lParam >> 16 != wire::kClockRequestTag) {
        return std::nullopt;
    }
    return (lParam & 0xFFFFu) * kClockValueScale;
}

}  // namespace tiktor
