#pragma once
// The soak run's requests: random words of every kind the remote side can send, the valid commands
// of the three tables mixed with groups and commands that have no row, requests with a flag other
// than 1 and notifications with the wrong parameters. The same seed gives the same run.

#include <cstdint>
#include <random>
#include <string_view>

#include "mainboard/tools/common/ChannelModel.h"

namespace simboard {

enum class SoakKind { Information, Read, Set, NoSuchGroup, NoSuchCommand, FlagError, WrongNotification };
inline constexpr std::size_t kSoakKinds = 7;
std::string_view soakKindName(SoakKind kind);

struct SoakStep {
    SoakKind kind = SoakKind::Information;
    Words words{};
    std::uint32_t flag = wire::kFlagRequestWaiting;
    std::uint32_t lParam = wire::kRemoteNotifyLParam;  // both of the link's own values are used
    // A notification with wrong parameters goes first (kind WrongNotification): it must change nothing.
    std::uint32_t wrongWParam = 0, wrongLParam = 0;
};

class SoakMix {
  public:
    explicit SoakMix(std::uint64_t seed) : m_random(seed) {}

    // The next request; set values are drawn near the card's ranges half of the time.
    SoakStep next(const NvClockInfo& card);

  private:
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(m_random() % n); }
    std::uint32_t word() { return static_cast<std::uint32_t>(m_random()); }
    std::uint32_t valueFor(const NvClockEntry& e, std::uint32_t scale);
    Words requestWords(std::uint32_t group, std::uint32_t command, const NvClockInfo& card);

    std::mt19937_64 m_random;
};

}  // namespace simboard
