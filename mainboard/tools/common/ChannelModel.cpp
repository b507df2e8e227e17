#include "mainboard/tools/common/ChannelModel.h"

namespace simboard {

namespace {

using wire::InfoCommand;
using wire::ReadCommand;
using wire::RequestGroup;
using wire::SetCommand;
using wire::wireNumber;

// Word 0: group 31..28, card 27..24, command 19..16, core 15..0; word 1: memory 31..16, voltage
// 15..0; word 2: fan 31..16.
std::uint32_t groupOf(const Words& w) { return w[0] >> 28; }
std::uint32_t cardOf(const Words& w) { return (w[0] >> 24) & 0xF; }
std::uint32_t commandOf(const Words& w) { return (w[0] >> 16) & 0xF; }
std::int32_t coreOf(const Words& w) { return static_cast<std::int32_t>(w[0] & 0xFFFF); }
std::int32_t recordMemoryOf(const Words& w) {
    return static_cast<std::int32_t>((w[1] >> 16) * kRecordMemoryScale);
}
std::int32_t voltageOf(const Words& w) { return static_cast<std::int32_t>(w[1] & 0xFFFF); }
std::int32_t fanOf(const Words& w) { return static_cast<std::int32_t>(w[2] >> 16); }

std::uint32_t u(std::int32_t v) { return static_cast<std::uint32_t>(v); }

// high * 65536 + low, wrapping at 32 bits.
std::uint32_t highLow(std::int32_t high, std::int32_t low) { return u(high) * 65536u + u(low); }

// The server tests the low byte of the supported word; the back end keeps the current value of an
// entry whose supported word is non-zero.
bool serverSupports(const NvClockEntry& e) { return (e.supported & 0xFF) != 0; }
void backEndKeeps(NvClockEntry& e, std::int32_t current) {
    if (e.supported != 0) e.current = current;
}

}  // namespace

std::int32_t ChannelModel::modelId(std::uint32_t card) const {
    return m_setting.modelIdOf ? m_setting.modelIdOf(card) : 0;
}

Words ChannelModel::flagErrorAnswer(const Words& registersBefore) {
    return {wire::kFlagErrorWord, registersBefore[1], registersBefore[2]};
}

Words ChannelModel::answer(const Words& request) {
    Words a = {0, 0, 0};
    const std::uint32_t group = groupOf(request), command = commandOf(request);
    if (m_setting.greencardActive) {
        const NvClockInfo& c = m_state.card0;
        const NvClockEntry &core = c.entries[kNvCore], &memory = c.entries[kNvMemory],
                           &voltage = c.entries[kNvVoltage];
        const std::uint32_t linkMemory = u(memory.current) / kRecordMemoryScale;
        const std::uint32_t count = m_setting.cardCount;
        if (group == wireNumber(RequestGroup::Information)) {
            switch (static_cast<InfoCommand>(command)) {
                case InfoCommand::CardCount:
                case InfoCommand::CardCountSecondForm:
                    a[0] = count;
                    break;
                case InfoCommand::ModelId:
                    a[0] = u(modelId(cardOf(request)));
                    break;
                case InfoCommand::AnswersOne:
                case InfoCommand::AnswersOneSecondForm:
                    a[0] = 1;
                    break;
                case InfoCommand::Capability:
                    a[0] = 0;
                    break;
                case InfoCommand::BoardWord:
                    a[0] = count * (1u << 28) + (1u << 24) + u(modelId(0)) * (1u << 16) +
                           u(m_setting.databaseVersion) * (1u << 8) + (1u << 4);
                    break;
                default:
                    break;
            }
        } else if (group == wireNumber(RequestGroup::Read)) {
            switch (static_cast<ReadCommand>(command)) {
                case ReadCommand::CoreCurrent:
                    a[0] = u(core.current);
                    break;
                case ReadCommand::CoreRange:
                    a[0] = highLow(core.maximum, core.minimum);
                    break;
                case ReadCommand::MemoryCurrent:
                    a[1] = linkMemory;
                    break;
                case ReadCommand::MemoryRange:
                    a[1] = highLow(memory.maximum, memory.minimum);
                    break;
                case ReadCommand::CoreDefault:
                    a[0] = u(core.defaultValue);
                    break;
                case ReadCommand::MemoryDefault:
                    a[1] = u(memory.defaultValue);
                    break;
                case ReadCommand::VoltageCurrent:
                    a[2] = u(voltage.current);
                    break;
                case ReadCommand::VoltageRange:
                    a[2] = highLow(voltage.maximum, voltage.minimum);
                    break;
                case ReadCommand::VoltageDefault:
                    a[2] = u(voltage.defaultValue);
                    break;
                case ReadCommand::AllCurrent: {
                    const std::int32_t v = m_state.voltageLatch ? m_state.lastSetVoltage : voltage.current;
                    a[0] = u(core.current);
                    a[1] = highLow(static_cast<std::int32_t>(linkMemory), v);
                    a[2] = highLow(c.entries[kNvFan].current, 0);
                    break;
                }
                default:
                    break;
            }
        } else if (group == wireNumber(RequestGroup::Set)) {
            set(command, request);
        }
    }
    if (group == wireNumber(RequestGroup::Set)) a[0] = 1;
    return a;
}

void ChannelModel::set(std::uint32_t command, const Words& request) {
    NvClockInfo& c = m_state.card0;
    NvClockEntry &core = c.entries[kNvCore], &memory = c.entries[kNvMemory], &voltage = c.entries[kNvVoltage];
    const bool toEveryCard = m_setting.cardCount > 0;  // card 0 is among them
    switch (static_cast<SetCommand>(command)) {
        case SetCommand::CoreOfCard0:
            if (serverSupports(core)) backEndKeeps(core, coreOf(request));
            break;
        case SetCommand::MemoryOfCard0:
            if (serverSupports(memory)) backEndKeeps(memory, recordMemoryOf(request));
            break;
        case SetCommand::VoltageOfCard0:
            if (serverSupports(voltage)) backEndKeeps(voltage, voltageOf(request));
            break;
        case SetCommand::CoreOfEveryCard:
            if (toEveryCard) backEndKeeps(core, coreOf(request));
            break;
        case SetCommand::MemoryOfEveryCard:
            if (toEveryCard) backEndKeeps(memory, recordMemoryOf(request));
            break;
        case SetCommand::VoltageOfEveryCard:
            if (toEveryCard) backEndKeeps(voltage, voltageOf(request));
            break;
        case SetCommand::All:
            if (!toEveryCard) break;
            backEndKeeps(core, coreOf(request));
            backEndKeeps(memory, recordMemoryOf(request));
            backEndKeeps(voltage, voltageOf(request));
            backEndKeeps(c.entries[kNvFan], fanOf(request));
            m_state.lastSetVoltage = voltageOf(request);
            if (m_state.lastSetVoltage > 0) m_state.voltageLatch = true;
            break;
        default:
            break;
    }
}

}  // namespace simboard
