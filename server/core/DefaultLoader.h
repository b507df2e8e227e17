#pragma once
// The start-up defaults: each card gets its model's clocks, voltage and fan from the card database.

#include "gpulib/Backends.h"
#include "server/core/Ports.h"

namespace kelvane {

// Applies the defaults of card 0's model to every card index, and records the model's maximum core
// voltage. Does nothing while the NVIDIA back end is inactive.
void loadDefaults(CardState& cards, GreencardBackend& greencard, CardDatabase& database);

}  // namespace kelvane
