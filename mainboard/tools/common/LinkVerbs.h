#pragma once
// The remote console's readable verbs: one row per command of the three tables, with the kit's name
// for it, and readable lines for the request and answer words.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/RemoteLink.h"
#include "remote/RemoteSide.h"

namespace simboard {

using wire::Words;

struct LinkVerb {
    std::string_view group;  // "info", "read" or "set"
    std::string_view name;
    std::uint32_t groupNumber;
    std::uint32_t command;
    kvr_command kit;  // the row as the remote side's kit names it
    std::string_view meaning;
};

std::span<const LinkVerb> linkVerbs();
const LinkVerb* findVerb(std::string_view group, std::string_view name);

// The words of verb's request, built and checked by the kit (card index 0 to 15 for the model,
// values 0 to 65535 where the command uses them; word 2 carries the kit's marker). KVR_OK or
// KVR_INVALID_ARGUMENT, which leaves the words alone.
kvr_status encodeRequest(const LinkVerb& verb, std::int32_t card, const kvr_values& values, Words& words);

// A readable line for the answer of verb, e.g. "min 300, max 1200".
std::string describeAnswer(const LinkVerb& verb, const Words& answer);

// A readable line for any three request words, e.g. "read core range" or "group 5, command 3".
std::string describeRequest(const Words& w);

std::string hexWords(const Words& words);

}  // namespace simboard
