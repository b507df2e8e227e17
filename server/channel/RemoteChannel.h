#pragma once
// Carries out remote-link requests: the flag handshake, the three command tables and the answer.

#include <cstdint>
#include <functional>
#include <string_view>

#include "gpulib/NvClockInfo.h"
#include "protocol/RemoteLink.h"

namespace kelvane {

using wire::RemoteAnswer;
using wire::RemoteRequest;

// The ACPI device registers as the channel sees them; results of the accesses are not examined.
class RegisterBus {
public:
    virtual ~RegisterBus() = default;
    virtual std::uint32_t read(std::uint32_t deviceId) = 0;
    virtual void write(std::uint32_t deviceId, std::uint32_t value) = 0;
};

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void addLine(std::string_view text) = 0;
};

// The NVIDIA back end's entry points that requests use, each for one card index.
class CardBackend {
public:
    virtual ~CardBackend() = default;
    virtual void readFan(std::uint32_t card, NvClockInfo& record) = 0;
    virtual void readClocks(std::uint32_t card, NvClockInfo& record) = 0;
    virtual void applyClocks(std::uint32_t card, const NvClockInfo& record) = 0;
    virtual void applyFan(std::uint32_t card, const NvClockInfo& record) = 0;
};

// Model ids and the database version for the information commands.
class CardDatabase {
public:
    virtual ~CardDatabase() = default;
    virtual std::int32_t lookupModelId(std::uint32_t card) = 0;
    virtual std::int32_t readVersion() = 0;
};

// What the main window shares with the channel, the start-up defaults and the test buttons.
struct CardState {
    NvClockInfo record{};
    std::int32_t cardCount = 0;
    bool greencardActive = false;  // read once at start-up; when false no request touches a card
};

struct ChannelPeers {
    RegisterBus& registers;
    LogSink& log;
    CardState& cards;
    CardBackend* backend = nullptr;    // required while cards.greencardActive
    CardDatabase* database = nullptr;  // required while cards.greencardActive
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
    void answerInformation(const RemoteRequest& r, RemoteAnswer& a);
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
