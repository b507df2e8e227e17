#pragma once
// What the graphics back-end stand-ins share.

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace simboard {

// Writes a card name into the caller's buffer of `capacity` characters (its size is not passed: the
// back end's contract fixes it). Unterminated, the name and spaces fill the whole buffer, as a back
// end that treats the buffer as a fixed-width field would leave it.
template <typename Char>
void writeCardName(Char* buffer, std::size_t capacity, std::basic_string_view<Char> name, bool terminated) {
    const std::size_t n = std::min(name.size(), capacity - 1);
    std::copy_n(name.begin(), n, buffer);
    if (terminated)
        buffer[n] = Char(0);
    else
        std::fill(buffer + n, buffer + capacity, Char(' '));
}

}  // namespace simboard
