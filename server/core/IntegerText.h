#pragma once
// The form's text-to-integer conversion: decimal, or hexadecimal after "0x" or "$", into a signed
// 32-bit value (hexadecimal wraps: "0xFFFFFFFF" is -1). Anything else is a conversion error.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

std::optional<std::int32_t> parseInteger(std::u16string_view text);

// The message of the conversion error, as the window's exception display shows it.
std::u16string conversionErrorMessage(std::u16string_view text);

// Blanks and control characters removed at both ends.
std::u16string_view trimText(std::u16string_view text);

}  // namespace kelvane
