#pragma once
// Text that a library or the system wrote into a fixed-size buffer. It ends at the first zero, or
// at the buffer's end when the writer put no zero there: nothing past the buffer is ever read.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kelvane {

template <typename Char>
std::basic_string<Char> textUpToZero(std::span<const Char> buffer) {
    return {buffer.begin(), std::find(buffer.begin(), buffer.end(), Char{0})};
}

// A registry text property: little-endian UTF-16 in bytes.
std::wstring utf16Text(std::span<const std::uint8_t> bytes);

// A registry list property: UTF-16 texts, each ending in a zero, the list ending in an empty text
// (or at the buffer's end).
std::vector<std::wstring> utf16TextList(std::span<const std::uint8_t> bytes);

}  // namespace kelvane
