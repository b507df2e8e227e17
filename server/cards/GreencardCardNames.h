#pragma once
// The card names that the card database looks up, as the NVIDIA back end reports them.

#include <string>

#include "gpulib/Backends.h"
#include "server/database/CardDatabase.h"

namespace kelvane {

class GreencardCardNames final : public CardNameSource {
public:
    explicit GreencardCardNames(GreencardBackend& greencard) : m_greencard(greencard) {}

    // Empty when the back end has no name for the card.
    std::u16string cardName(std::uint32_t card) override;

private:
    GreencardBackend& m_greencard;
};

}  // namespace kelvane
