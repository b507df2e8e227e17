#include "mainboard/tools/common/LinkVerbs.h"

#include <cstdio>

namespace simboard {

namespace {

using enum AnswerShape;

constexpr LinkVerb kVerbs[] = {
    {"info", "count", 0, 1, A0, "number of card indices"},
    {"info", "model", 0, 2, A0, "model id of the card (CARD)"},
    {"info", "cmd3", 0, 3, A0, "answers 1"},
    {"info", "capability", 0, 4, A0, "feature word"},
    {"info", "count5", 0, 5, A0, "number of card indices (second form)"},
    {"info", "cmd6", 0, 6, A0, "answers 1"},
    {"info", "board", 0, 7, BoardInfo, "card count, model, database version"},
    {"read", "core", 1, 1, A0, "core clock, current"},
    {"read", "core-range", 1, 2, A0Range, "core clock range"},
    {"read", "mem", 1, 3, A1, "memory clock, current"},
    {"read", "mem-range", 1, 4, A1Range, "memory clock range"},
    {"read", "core-default", 1, 5, A0, "core clock default"},
    {"read", "mem-default", 1, 6, A1, "memory clock default"},
    {"read", "volt", 1, 7, A2, "core voltage, current"},
    {"read", "volt-range", 1, 8, A2Range, "core voltage range"},
    {"read", "volt-default", 1, 9, A2, "core voltage default"},
    {"read", "all", 1, 10, AllCurrent, "core, memory, voltage and fan, current"},
    {"set", "core", 2, 1, A0, "core clock of card 0 (--core)"},
    {"set", "mem", 2, 2, A0, "memory clock of card 0 (--mem)"},
    {"set", "volt", 2, 3, A0, "core voltage of card 0 (--volt)"},
    {"set", "core-each", 2, 4, A0, "core clock of every card (--core)"},
    {"set", "mem-each", 2, 5, A0, "memory clock of every card (--mem)"},
    {"set", "volt-each", 2, 6, A0, "core voltage of every card (--volt)"},
    {"set", "all", 2, 7, A0, "core, memory, voltage and fan of every card"},
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
            return verb.groupNumber == 2 ? format("done (%u)", a[0]) : std::to_string(a[0]);
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
        if (r.group == 0 && r.command == 2) text += format(" card %u", r.cardIndex);
        if (r.group == 2) {
            switch (r.command) {
                case 1:
                case 4:
                    text += format(" core %u", r.core);
                    break;
                case 2:
                case 5:
                    text += format(" memory %u", r.memory);
                    break;
                case 3:
                case 6:
                    text += format(" voltage %u", r.voltage);
                    break;
                case 7:
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
