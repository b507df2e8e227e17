#pragma once
// The remote console's readable verbs: one row per command of the three tables, how to build
// the request words and how to read the answer words back.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/RemoteLink.h"

namespace simboard {

using wire::Words;

enum class AnswerShape {
    None,     // the answer carries nothing but the completed handshake
    A0,       // one value in A0
    A0Range,  // A0 = max * 65536 + min
    A1,
    A1Range,
    A2,
    A2Range,
    BoardInfo,   // A0 = count, 1, model, version, 1 in nibble/byte fields
    AllCurrent,  // A0 core, A1 memory << 16 | voltage, A2 fan << 16
};

struct LinkVerb {
    std::string_view group;  // "info", "read" or "set"
    std::string_view name;
    std::uint32_t groupNumber;
    std::uint32_t command;
    AnswerShape shape;
    std::string_view meaning;
};

std::span<const LinkVerb> linkVerbs();
const LinkVerb* findVerb(std::string_view group, std::string_view name);

// The words of verb's request carrying the values of `values` (its group and command are the verb's;
// values are cut to their fields, unset ones are sent as 0).
Words buildRequest(const LinkVerb& verb, const wire::RemoteRequest& values);

// A readable line for the answer of verb, e.g. "min 300, max 1200".
std::string describeAnswer(const LinkVerb& verb, const Words& answer);

// A readable line for any three request words, e.g. "read core range" or "group 5, command 3".
std::string describeRequest(const Words& w);

std::string hexWords(const Words& words);

}  // namespace simboard
