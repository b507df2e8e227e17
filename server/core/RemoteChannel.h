#pragma once
// Carries out remote-link requests: the flag handshake, the three command tables and the answer.

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

#include "gpulib/Backends.h"
#include "protocol/RemoteLink.h"
#include "server/core/Ports.h"

namespace kelvane {

using wire::RemoteAnswer;
using wire::RemoteRequest;

struct ChannelPeers {
    RegisterBus& registers;
    LogSink& log;
    CardState& cards;
    GreencardBackend* greencard = nullptr;           // required while cards.greencardActive
    CardDatabase* database = nullptr;                // required while cards.greencardActive
    std::function<void(std::uint32_t fan)> showFan;  // the fan value of a set-all, for the window
};

class RemoteChannel {
  public:
    explicit RemoteChannel(ChannelPeers peers) : m_peers(std::move(peers)) {}

    // The notification handler: acts only on the remote link's own wParam/lParam pair.
    void onNotification(std::uint32_t wParam, std::uint32_t lParam);

    // Carries out one request, logs the answer and writes it back, clearing the flag.
    RemoteAnswer processRequest(std::uint32_t word0, std::uint32_t word1, std::uint32_t word2);

    std::int32_t lastSetVoltage() const { return m_lastSetVoltage; }
    bool voltageLatch() const { return m_voltageLatch; }

  private:
    void answerInformation(const RemoteRequest& r, RemoteAnswer& a) const;
    void answerRead(const RemoteRequest& r, RemoteAnswer& a);
    void carryOutSet(const RemoteRequest& r);
    void setAllOnCard(const RemoteRequest& r, std::uint32_t card);
    template <typename Change>
    void forEachCard(Change change);
    void log(std::string_view text) { m_peers.log.addLine(text); }
    void logNumber(std::uint32_t value);

    ChannelPeers m_peers;
    std::int32_t m_lastSetVoltage = 0;
    bool m_voltageLatch = false;
};

}  // namespace kelvane
