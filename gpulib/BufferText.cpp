#include "gpulib/BufferText.h"

namespace kelvane {

namespace {

// The whole UTF-16 units of the bytes; an odd last byte is no unit.
std::vector<wchar_t> utf16Units(std::span<const std::uint8_t> bytes) {
    std::vector<wchar_t> units(bytes.size() / 2);
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return units;
}

}  // namespace

std::wstring utf16Text(std::span<const std::uint8_t> bytes) {
    const std::vector<wchar_t> units = utf16Units(bytes);
    return textUpToZero(std::span<const wchar_t>(units));
}

std::vector<std::wstring> utf16TextList(std::span<const std::uint8_t> bytes) {
    const std::vector<wchar_t> units = utf16Units(bytes);
    std::vector<std::wstring> texts;
    for (std::span<const wchar_t> rest(units); !rest.empty();) {
        std::wstring text = textUpToZero(rest);
        if (text.empty()) break;
        rest = rest.subspan(std::min(text.size() + 1, rest.size()));
        texts.push_back(std::move(text));
    }
    return texts;
}

}  // namespace kelvane
