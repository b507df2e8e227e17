#pragma once
// Text as the board's descriptions and tools read it: UTF-8 text and whole numbers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace simboard {

// UTF-8 to UTF-16; none for malformed UTF-8 or a control character.
std::optional<std::u16string> utf16FromUtf8(std::string_view text);

// Decimal, or hexadecimal after 0x, with a minus sign for negative values; the whole text must be
// the number and it must fit Number (std::int32_t, std::uint32_t or std::uint16_t). None, with the
// reason in problem, otherwise.
template <typename Number>
std::optional<Number> parseNumber(std::string_view text, std::string& problem);

// A number that fits 32 bits unsigned, where the reason for a refusal does not matter.
std::optional<std::uint32_t> parseNumber(std::string_view text);

}  // namespace simboard
