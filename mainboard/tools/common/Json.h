#pragma once
// The board's tools' form for scripts: one JSON object per line, keys in the order they are written
// (as a person reading the line expects them). Text that is not UTF-8 is replaced, not thrown at:
// names on the journal come from the programs that wrote them.

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

namespace simboard {

using Json = nlohmann::ordered_json;

inline std::string jsonText(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

inline void printJsonLine(const Json& value) { std::printf("%s\n", jsonText(value).c_str()); }

}  // namespace simboard
