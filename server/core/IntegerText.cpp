#include "server/core/IntegerText.h"

namespace kelvane {

namespace {

int digitValue(char16_t c, int base) {
    int v = -1;
    if (c >= u'0' && c <= u'9')
        v = c - u'0';
    else if (c >= u'a' && c <= u'f')
        v = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        v = c - u'A' + 10;
    return v < base ? v : -1;
}

}  // namespace

std::u16string_view trimText(std::u16string_view text) {
    // The control characters are C0, DEL and C1: a card name widened from a single-byte code page
    // can end in any of them.
    const auto blankOrControl = [](char16_t c) { return c <= u' ' || (c >= 0x7F && c <= 0x9F); };
    while (!text.empty() && blankOrControl(text.front())) text.remove_prefix(1);
    while (!text.empty() && blankOrControl(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<std::int32_t> parseInteger(std::u16string_view text) {
    while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with(u"0x") || text.starts_with(u"0X")) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.starts_with(u"$")) {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    // Decimal must fit the signed range; hexadecimal may use all 32 bits.
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t value = 0;
    for (char16_t c : text) {
        const int d = digitValue(c, base);
        if (d < 0) return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
        if (value > limit) return std::nullopt;
    }
    auto bits = static_cast<std::uint32_t>(value);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

std::u16string conversionErrorMessage(std::u16string_view text) {
    std::u16string message(u"'");
    message.append(text).append(u"' is not a valid integer value");
    return message;
}

}  // namespace kelvane
