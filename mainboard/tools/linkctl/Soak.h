#pragma once
// linkctl's soak run: random requests of every kind, each answer checked against the remote side's
// own model of the command tables; the card that the set commands change is checked too.

#include <cstdint>

namespace simboard {

// Exits 0 when every answer matched; 1 on a mismatch or a request left unanswered. The report is for
// people, or with `json` one object for scripts, printed when the run is over.
int runSoak(std::uint32_t requests, std::uint64_t seed, bool json);

}  // namespace simboard
