#include "mainboard/machine/BoardText.h"

#include <charconv>
#include <limits>

namespace simboard {

namespace {

std::string quote(std::string_view s) { return "'" + std::string(s) + "'"; }

}  // namespace

std::optional<std::u16string> utf16FromUtf8(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size()) return std::nullopt;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c = c << 6 | (next & 0x3F);
        }
        const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
        if (overlong || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000) || c < 0x20 || c == 0x7F)
            return std::nullopt;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += length;
    }
    return out;
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view text, std::string& problem) {
    const bool negative = !text.empty() && text.front() == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    long long value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || digits.front() == '-' || digits.front() == '+' ||
        end != digits.data() + digits.size() || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        problem = quote(text) + " is not a whole number";
        return std::nullopt;
    }
    if (negative) value = -value;
    if (ec == std::errc::result_out_of_range ||
        value < static_cast<long long>(std::numeric_limits<Number>::min()) ||
        value > static_cast<long long>(std::numeric_limits<Number>::max())) {
        problem = quote(text) + " is out of range (" + std::to_string(std::numeric_limits<Number>::min()) +
                  " to " + std::to_string(std::numeric_limits<Number>::max()) + ")";
        return std::nullopt;
    }
    return static_cast<Number>(value);
}

template std::optional<std::int32_t> parseNumber(std::string_view, std::string&);
template std::optional<std::uint32_t> parseNumber(std::string_view, std::string&);
template std::optional<std::uint16_t> parseNumber(std::string_view, std::string&);

std::optional<std::uint32_t> parseNumber(std::string_view text) {
    std::string ignored;
    return parseNumber<std::uint32_t>(text, ignored);
}

}  // namespace simboard
