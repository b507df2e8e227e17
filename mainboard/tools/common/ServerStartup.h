#pragma once
// The server's start-up as the board expects to see it on its journal, stated once for the board's
// tools and the tests: they hold the server to these figures, so they are not taken from its code.

#include <cstddef>
#include <cstdint>

namespace simboard::server_startup {

// A refused notification registration is tried again on a timer: one attempt at start-up and 13
// retries.
inline constexpr std::uint32_t kRegistrationRetryMs = 5000;
inline constexpr std::size_t kRegistrationAttempts = 14;

// The card model's defaults are applied on a timer, seven runs, each to card indices 0 to 3, and
// each application to a card index ends with one fan setting.
inline constexpr std::uint32_t kDefaultPeriodMs = 2000;
inline constexpr std::size_t kDefaultRuns = 7;
inline constexpr std::size_t kCardIndices = 4;
inline constexpr char kDefaultFanEntry[] = "Nv_SetGPUFan";
inline constexpr std::size_t kDefaultFanSettings = kDefaultRuns * kCardIndices;

}  // namespace simboard::server_startup
