#pragma once
// What the server must answer, worked out on the remote side: the three command tables, the flag
// handshake and the card that the set commands change, kept apart from the server's own code so
// that the soak run and the fuzzer can hold the server to it. Request words are taken apart here,
// bit by bit, not through the wire's decoder.

#include <cstdint>
#include <functional>
#include <utility>

#include "mainboard/machine/CardRecords.h"
#include "protocol/RemoteLink.h"

namespace simboard {

using wire::Words;

// The back end's record holds memory's current value at this multiple of the value on the link.
inline constexpr std::uint32_t kRecordMemoryScale = 2;

// The server's setting, as far as answers depend on it.
struct ChannelSetting {
    bool greencardActive = false;
    std::uint32_t cardCount = 0;                           // 4 while the back end is active
    std::function<std::int32_t(std::uint32_t)> modelIdOf;  // Info.ini's model id of card N's name
    std::int32_t databaseVersion = 1;
};

// The state a request changes: card 0 of the back end (memory's current value on the record's
// scale) and the voltage that the set-all commands leave behind.
struct ChannelState {
    NvClockInfo card0{};
    std::int32_t lastSetVoltage = 0;
    bool voltageLatch = false;
};

class ChannelModel {
  public:
    ChannelModel(ChannelSetting setting, const ChannelState& state)
        : m_setting(std::move(setting)), m_state(state) {}

    // The answer words to a request read with the flag at 1; carries out its effect on the state.
    Words answer(const Words& request);

    // The words after a request with any other flag: A0 becomes the error word, A1 and A2 stay.
    static Words flagErrorAnswer(const Words& registersBefore);

    const ChannelState& state() const { return m_state; }

  private:
    std::int32_t modelId(std::uint32_t card) const;
    void set(std::uint32_t command, const Words& request);

    ChannelSetting m_setting;
    ChannelState m_state;
};

}  // namespace simboard
