#include "mainboard/tools/common/LinkVerbs.h"

#include <cstdio>

namespace simboard {

namespace {

using enum AnswerShape;
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
constexpr LinkVerb verb(std::string_view name, Command command, AnswerShape shape, std::string_view meaning) {
    const GroupWord g = groupOf(command);
    return {g.word, name, wireNumber(g.group), wireNumber(command), shape, meaning};
}

constexpr LinkVerb kVerbs[] = {
    verb("count", InfoCommand::CardCount, A0, "number of card indices"),
    verb("model", InfoCommand::ModelId, A0, "model id of the card (CARD)"),
    verb("cmd3", InfoCommand::AnswersOne, A0, "answers 1"),
    verb("capability", InfoCommand::Capability, A0, "feature word"),
    verb("count5", InfoCommand::CardCountSecondForm, A0, "number of card indices (second form)"),
    verb("cmd6", InfoCommand::AnswersOneSecondForm, A0, "answers 1"),
    verb("board", InfoCommand::BoardWord, BoardInfo, "card count, model, database version"),
    verb("core", ReadCommand::CoreCurrent, A0, "core clock, current"),
    verb("core-range", ReadCommand::CoreRange, A0Range, "core clock range"),
    verb("mem", ReadCommand::MemoryCurrent, A1, "memory clock, current"),
    verb("mem-range", ReadCommand::MemoryRange, A1Range, "memory clock range"),
    verb("core-default", ReadCommand::CoreDefault, A0, "core clock default"),
    verb("mem-default", ReadCommand::MemoryDefault, A1, "memory clock default"),
    verb("volt", ReadCommand::VoltageCurrent, A2, "core voltage, current"),
    verb("volt-range", ReadCommand::VoltageRange, A2Range, "core voltage range"),
    verb("volt-default", ReadCommand::VoltageDefault, A2, "core voltage default"),
    verb("all", ReadCommand::AllCurrent, AllCurrent, "core, memory, voltage and fan, current"),
    verb("core", SetCommand::CoreOfCard0, A0, "core clock of card 0 (--core)"),
    verb("mem", SetCommand::MemoryOfCard0, A0, "memory clock of card 0 (--mem)"),
    verb("volt", SetCommand::VoltageOfCard0, A0, "core voltage of card 0 (--volt)"),
    verb("core-each", SetCommand::CoreOfEveryCard, A0, "core clock of every card (--core)"),
    verb("mem-each", SetCommand::MemoryOfEveryCard, A0, "memory clock of every card (--mem)"),
    verb("volt-each", SetCommand::VoltageOfEveryCard, A0, "core voltage of every card (--volt)"),
    verb("all", SetCommand::All, A0, "core, memory, voltage and fan of every card"),
};

std::string format(const char* pattern, auto... values) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, pattern, values...);
    return buffer;
}

std::string range(std::uint32_t word) {
    return format("min %u, max %u", wire::lowHalf(word), wire::highHalf(word));
}

}  // namespace

std::span<const LinkVerb> linkVerbs() { return kVerbs; }

const LinkVerb* findVerb(std::string_view group, std::string_view name) {
    for (const LinkVerb& v : kVerbs)
        if (v.group == group && v.name == name) return &v;
    return nullptr;
}

Words buildRequest(const LinkVerb& verb, const wire::RemoteRequest& values) {
    wire::RemoteRequest request = values;
    request.group = verb.groupNumber;
    request.command = verb.command;
    return request.encode();
}

std::string describeAnswer(const LinkVerb& verb, const Words& a) {
    switch (verb.shape) {
        case None:
            return "";
        case A0:
            return verb.groupNumber == wireNumber(RequestGroup::Set) ? format("done (%u)", a[0])
                                                                     : std::to_string(a[0]);
        case A0Range:
            return range(a[0]);
        case A1:
            return std::to_string(a[1]);
        case A1Range:
            return range(a[1]);
        case A2:
            return std::to_string(a[2]);
        case A2Range:
            return range(a[2]);
        case BoardInfo: {
            const wire::BoardWord board = wire::unpackBoardWord(a[0]);
            return format("cards %u, model %u, version %u", board.cardCount, board.model, board.version);
        }
        case AllCurrent:
            return format("core %u, memory %u, voltage %u, fan %u", a[0], wire::highHalf(a[1]),
                          wire::lowHalf(a[1]), wire::highHalf(a[2]));
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
