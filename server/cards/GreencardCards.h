#pragma once
// The cards as the remote channel, the start-up and the test buttons reach them: the NVIDIA back
// end's clock and fan entry points, by card index. Their results are not examined.

#include <cstdint>

#include "gpulib/Backends.h"
#include "server/channel/RemoteChannel.h"

namespace kelvane {

class GreencardCards final : public CardBackend {
public:
    explicit GreencardCards(GreencardBackend& greencard) : m_greencard(greencard) {}

    void readFan(std::uint32_t card, NvClockInfo& record) override;
    void readClocks(std::uint32_t card, NvClockInfo& record) override;  // the current clocks
    void applyClocks(std::uint32_t card, const NvClockInfo& record) override;
    void applyFan(std::uint32_t card, const NvClockInfo& record) override;

private:
    GreencardBackend& m_greencard;
};

}  // namespace kelvane
