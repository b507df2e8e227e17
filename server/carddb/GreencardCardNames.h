#pragma once
// The card names that the card database looks up, as the NVIDIA back end reports them.

#include <cstddef>
#include <string>

#include "gpulib/Backends.h"
#include "server/carddb/CardDatabase.h"

namespace kelvane {

class GreencardCardNames final : public CardNameSource {
  public:
    explicit GreencardCardNames(GreencardBackend& greencard) : m_greencard(greencard) {}

    // Empty when the back end has no name for the card.
    std::u16string cardName(std::uint32_t card) override;

  private:
    GreencardBackend& m_greencard;
};

// A card name as the NVIDIA back end leaves it in its 8-bit buffer: up to the first zero byte, or
// to the buffer's end when the back end wrote none; converted with the system's 8-bit code page;
// blanks and control characters removed at both ends.
std::u16string cardNameFromBuffer(const char* buffer, std::size_t size);

}  // namespace kelvane
