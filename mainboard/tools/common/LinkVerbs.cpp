#include "mainboard/tools/common/LinkVerbs.h"

#include <cstdio>

namespace simboard {

namespace {

using wire::InfoCommand;
using wire::ReadCommand;
using wire::RequestGroup;
using wire::SetCommand;
using wire::wireNumber;

// Each command table's group and the word the console calls it by.
struct GroupWord {
    RequestGroup group;
    std::string_view word;
};
constexpr GroupWord groupOf(InfoCommand) { return {RequestGroup::Information, "info"}; }
constexpr GroupWord groupOf(ReadCommand) { return {RequestGroup::Read, "read"}; }
constexpr GroupWord groupOf(SetCommand) { return {RequestGroup::Set, "set"}; }

template <typename Command>
constexpr LinkVerb verb(std::string_view name, Command command, std::string_view meaning) {
    const GroupWord g = groupOf(command);
    return {g.word,
            name,
            wireNumber(g.group),
            wireNumber(command),
            static_cast<kvr_command>(KVR_COMMAND_ID(wireNumber(g.group), wireNumber(command))),
            meaning};
}

constexpr LinkVerb kVerbs[] = {
    verb("count", InfoCommand::CardCount, "number of card indices"),
    verb("model", InfoCommand::ModelId, "model id of the card (CARD)"),
    verb("cmd3", InfoCommand::AnswersOne, "answers 1"),
    verb("capability", InfoCommand::Capability, "feature word"),
    verb("count5", InfoCommand::CardCountSecondForm, "number of card indices (second form)"),
    verb("cmd6", InfoCommand::AnswersOneSecondForm, "answers 1"),
    verb("board", InfoCommand::BoardWord, "card count, model, database version"),
    verb("core", ReadCommand::CoreCurrent, "core clock, current"),
    verb("core-range", ReadCommand::CoreRange, "core clock range"),
    verb("mem", ReadCommand::MemoryCurrent, "memory clock, current"),
    verb("mem-range", ReadCommand::MemoryRange, "memory clock range"),
    verb("core-default", ReadCommand::CoreDefault, "core clock default"),
    verb("mem-default", ReadCommand::MemoryDefault, "memory clock default"),
    verb("volt", ReadCommand::VoltageCurrent, "core voltage, current"),
    verb("volt-range", ReadCommand::VoltageRange, "core voltage range"),
    verb("volt-default", ReadCommand::VoltageDefault, "core voltage default"),
    verb("all", ReadCommand::AllCurrent, "core, memory, voltage and fan, current"),
    verb("core", SetCommand::CoreOfCard0, "core clock of card 0 (--core)"),
    verb("mem", SetCommand::MemoryOfCard0, "memory clock of card 0 (--mem)"),
    verb("volt", SetCommand::VoltageOfCard0, "core voltage of card 0 (--volt)"),
    verb("core-each", SetCommand::CoreOfEveryCard, "core clock of every card (--core)"),
    verb("mem-each", SetCommand::MemoryOfEveryCard, "memory clock of every card (--mem)"),
    verb("volt-each", SetCommand::VoltageOfEveryCard, "core voltage of every card (--volt)"),
    verb("all", SetCommand::All, "core, memory, voltage and fan of every card"),
};

std::string format(const char* pattern, auto... values) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, pattern, values...);
    return buffer;
}

}  // namespace

std::span<const LinkVerb> linkVerbs() { return kVerbs; }

const LinkVerb* findVerb(std::string_view group, std::string_view name) {
    for (const LinkVerb& v : kVerbs)
        if (v.group == group && v.name == name) return &v;
    return nullptr;
}

kvr_status encodeRequest(const LinkVerb& verb, std::int32_t card, const kvr_values& values, Words& words) {
    Words encoded{};
    const kvr_status status = kvr_encode(verb.kit, card, &values, encoded.data());
    if (status == KVR_OK) words = encoded;
    return status;
}

std::string describeAnswer(const LinkVerb& verb, const Words& a) {
    kvr_reading r{};
    if (kvr_decode(verb.kit, a.data(), &r) != KVR_OK) return "not a board word";
    switch (r.shape) {
        case KVR_SHAPE_DONE:
            return format("done (%u)", r.value);
        case KVR_SHAPE_VALUE:
            return std::to_string(r.value);
        case KVR_SHAPE_RANGE:
            return format("min %u, max %u", r.minimum, r.maximum);
        case KVR_SHAPE_BOARD:
            return format("cards %u, model %u, version %u", r.cards, r.model, r.version);
        case KVR_SHAPE_ALL:
            return format("core %u, memory %u, voltage %u, fan %u", r.core, r.memory, r.voltage, r.fan);
    }
    return "";
}

std::string describeRequest(const Words& w) {
    const wire::RemoteRequest r = wire::RemoteRequest::decode(w[0], w[1], w[2]);
    for (const LinkVerb& v : kVerbs) {
        if (v.groupNumber != r.group || v.command != r.command) continue;
        std::string text = std::string(v.group) + " " + std::string(v.name);
        if (r.is(RequestGroup::Information) && r.command == wireNumber(InfoCommand::ModelId))
            text += format(" card %u", r.cardIndex);
        if (r.is(RequestGroup::Set)) {
            switch (static_cast<SetCommand>(r.command)) {
                case SetCommand::CoreOfCard0:
                case SetCommand::CoreOfEveryCard:
                    text += format(" core %u", r.core);
                    break;
                case SetCommand::MemoryOfCard0:
                case SetCommand::MemoryOfEveryCard:
                    text += format(" memory %u", r.memory);
                    break;
                case SetCommand::VoltageOfCard0:
                case SetCommand::VoltageOfEveryCard:
                    text += format(" voltage %u", r.voltage);
                    break;
                case SetCommand::All:
                    text +=
                        format(" core %u, memory %u, voltage %u, fan %u", r.core, r.memory, r.voltage, r.fan);
                    break;
                default:
                    break;
            }
        }
        return text;
    }
    return format("group %u, command %u (no such command)", r.group, r.command);
}

std::string hexWords(const Words& w) { return format("0x%08X 0x%08X 0x%08X", w[0], w[1], w[2]); }

}  // namespace simboard
