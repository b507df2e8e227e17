#include "server/core/RemoteChannel.h"

#include <string>

namespace kelvane {

using namespace wire;

namespace {

constexpr std::uint32_t kCapabilityWord = 0;  // every feature value of this system is 0

std::int32_t asSigned(std::uint32_t v) { return static_cast<std::int32_t>(v); }

// Card indices go to the back end as its signed indices; there are at most 16 of them.
std::int32_t backEndIndex(std::uint32_t card) { return static_cast<std::int32_t>(card); }

}  // namespace

void RemoteChannel::logNumber(std::uint32_t value) { log(std::to_string(value)); }

void RemoteChannel::onNotification(std::uint32_t wParam, std::uint32_t lParam) {
    if (!isRemoteNotification(wParam, lParam)) return;
    log("Get Notify....");
    RegisterBus& bus = m_peers.registers;
    if (bus.read(kFlagRegister) != kFlagRequestWaiting) {
        log("Flag err...");
        bus.write(kSelectorRegister, 0);
        bus.write(kDataRegister, kFlagErrorWord);
        bus.write(kFlagRegister, 0);
        return;
    }
    log("fun == 0x01");
    static constexpr std::string_view kDataLabels[3] = {"data -->0", "data -->1", "data -->2"};
    std::uint32_t words[3];
    for (std::uint32_t i = 0; i < 3; ++i) {
        bus.write(kSelectorRegister, i);
        words[i] = bus.read(kDataRegister);
        log(kDataLabels[i]);
        logNumber(words[i]);
    }
    processRequest(words[0], words[1], words[2]);
}

RemoteAnswer RemoteChannel::processRequest(std::uint32_t word0, std::uint32_t word1, std::uint32_t word2) {
    const RemoteRequest request = RemoteRequest::decode(word0, word1, word2);
    RemoteAnswer answer;
    if (m_peers.cards.greencardActive) {
        NvClockInfo& record = m_peers.cards.record;
        m_peers.greencard->Nv_GetGPUFan(0, record);
        m_peers.greencard->Nv_GetGPUClockInfoPStates(0, record);
        if (request.is(RequestGroup::Information)) {
            answerInformation(request, answer);
        } else if (request.is(RequestGroup::Read)) {
            answerRead(request, answer);
        } else if (request.is(RequestGroup::Set)) {
            carryOutSet(request);
        }
    }
    if (request.is(RequestGroup::Set)) answer.words[0] = 1;

    static constexpr std::string_view kAnswerLabels[3] = {"Data--->", "Data1--->", "Data2--->"};
    for (std::uint32_t i = 0; i < 3; ++i) {
        log(kAnswerLabels[i]);
        logNumber(answer.words[i]);
    }
    RegisterBus& bus = m_peers.registers;
    for (std::uint32_t i = 0; i < 3; ++i) {
        bus.write(kSelectorRegister, i);
        bus.write(kDataRegister, answer.words[i]);
    }
    bus.write(kFlagRegister, 0);
    return answer;
}

void RemoteChannel::answerInformation(const RemoteRequest& r, RemoteAnswer& a) const {
    const auto cardCount = static_cast<std::uint32_t>(m_peers.cards.cardCount);
    switch (static_cast<InfoCommand>(r.command)) {
        case InfoCommand::CardCount:
        case InfoCommand::CardCountSecondForm:
            a.words[0] = cardCount;
            break;
        case InfoCommand::ModelId:
            a.words[0] = static_cast<std::uint32_t>(m_peers.database->lookupModelId(r.cardIndex));
            break;
        case InfoCommand::AnswersOne:
        case InfoCommand::AnswersOneSecondForm:
            a.words[0] = 1;
            break;
        case InfoCommand::Capability:
            a.words[0] = kCapabilityWord;
            break;
        case InfoCommand::BoardWord: {
            const auto model = static_cast<std::uint32_t>(m_peers.database->lookupModelId(0));
            const auto version = static_cast<std::uint32_t>(m_peers.database->readVersion());
            a.words[0] = packBoardWord(cardCount, model, version);
            break;
        }
        default:
            break;
    }
}

void RemoteChannel::answerRead(const RemoteRequest& r, RemoteAnswer& a) {
    const NvClockInfo& c = m_peers.cards.record;
    const std::uint32_t memory = remoteMemory(c.memory.current);
    switch (static_cast<ReadCommand>(r.command)) {
        case ReadCommand::CoreCurrent:
            log("[Core] Current value---T");
            a.words[0] = static_cast<std::uint32_t>(c.core.current);
            break;
        case ReadCommand::CoreRange:
            log("[Core] Range---T");
            a.words[0] = packHighLow(c.core.maximum, c.core.minimum);
            break;
        case ReadCommand::MemoryCurrent:
            log("[Mem] Current---T");
            a.words[1] = memory;
            break;
        case ReadCommand::MemoryRange:
            log("[Mem] Range---T");
            a.words[1] = packHighLow(c.memory.maximum, c.memory.minimum);
            break;
        case ReadCommand::CoreDefault:
            log("[Core] Default---T");
            a.words[0] = static_cast<std::uint32_t>(c.core.defaultValue);
            break;
        case ReadCommand::MemoryDefault:
            log("[Mem] Default---T");
            a.words[1] = static_cast<std::uint32_t>(c.memory.defaultValue);
            break;
        case ReadCommand::VoltageCurrent:
            log("[Vol] Current---T");
            a.words[2] = static_cast<std::uint32_t>(c.voltage.current);
            break;
        case ReadCommand::VoltageRange:
            log("[Vol] Range---T");
            a.words[2] = packHighLow(c.voltage.maximum, c.voltage.minimum);
            break;
        case ReadCommand::VoltageDefault:
            log("[Vol] Default---T");
            a.words[2] = static_cast<std::uint32_t>(c.voltage.defaultValue);
            break;
        case ReadCommand::AllCurrent: {
            log("All Current data");
            const std::int32_t voltage = m_voltageLatch ? m_lastSetVoltage : c.voltage.current;
            a.words =
                packAllCurrent(c.core.current, static_cast<std::int32_t>(memory), voltage, c.fan.current);
            break;
        }
        default:
            break;
    }
}

template <typename Change>
void RemoteChannel::forEachCard(Change change) {
    const auto cardCount = static_cast<std::uint32_t>(m_peers.cards.cardCount);
    for (std::uint32_t card = 0; card < cardCount; ++card) change(card);
}

void RemoteChannel::carryOutSet(const RemoteRequest& r) {
    NvClockInfo& c = m_peers.cards.record;
    GreencardBackend& greencard = *m_peers.greencard;
    const auto applyTo = [&](std::uint32_t card) {
        greencard.Nv_SetGPUClockInfoPStates(backEndIndex(card), c);
    };
    const auto core = asSigned(r.core);
    const std::int32_t memory = recordMemory(r.memory);
    const auto voltage = asSigned(r.voltage);
    switch (static_cast<SetCommand>(r.command)) {
        case SetCommand::CoreOfCard0:
            if (c.core.isSupported()) {
                c.core.current = core;
                applyTo(0);
            }
            break;
        case SetCommand::MemoryOfCard0:
            if (c.memory.isSupported()) {
                c.memory.current = memory;
                applyTo(0);
            }
            break;
        case SetCommand::VoltageOfCard0:
            if (c.voltage.isSupported()) {
                c.voltage.current = voltage;
                applyTo(0);
            }
            break;
        case SetCommand::CoreOfEveryCard:
            forEachCard([&](std::uint32_t card) {
                c.core.current = core;
                applyTo(card);
            });
            break;
        case SetCommand::MemoryOfEveryCard:
            forEachCard([&](std::uint32_t card) {
                c.memory.current = memory;
                applyTo(card);
            });
            break;
        case SetCommand::VoltageOfEveryCard:
            forEachCard([&](std::uint32_t card) {
                c.voltage.current = voltage;
                applyTo(card);
            });
            break;
        case SetCommand::All:
            forEachCard([&](std::uint32_t card) { setAllOnCard(r, card); });
            break;
        default:
            break;
    }
}

void RemoteChannel::setAllOnCard(const RemoteRequest& r, std::uint32_t card) {
    NvClockInfo& c = m_peers.cards.record;
    c.core.current = asSigned(r.core);
    c.memory.current = recordMemory(r.memory);
    c.voltage.current = asSigned(r.voltage);
    m_lastSetVoltage = asSigned(r.voltage);
    if (!m_voltageLatch && 0 < m_lastSetVoltage) m_voltageLatch = true;
    c.fan.current = asSigned(r.fan);
    m_peers.greencard->Nv_SetGPUClockInfoPStates(backEndIndex(card), c);
    m_peers.greencard->Nv_SetGPUFan(backEndIndex(card), c);
    if (m_peers.showFan) m_peers.showFan(static_cast<std::uint32_t>(c.fan.current));
}

}  // namespace kelvane
