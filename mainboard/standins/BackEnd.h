#pragma once
// What the back-end stand-ins share.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mainboard/machine/MachineLogic.h"

namespace simboard {

// The helper library that the NVIDIA back end loads by name when it is initialised: none is
// installed, so whatever the process finds under this name is a library planted in its search path.
inline constexpr wchar_t kGreencardHelperLibrary[] = L"GreencardHelper.dll";

// A signed figure as a journal argument.
inline std::uint32_t word(std::int32_t value) { return static_cast<std::uint32_t>(value); }

// What a call returns or reports (an initialisation's result, a count): the back end's own value on
// this machine, unless a fault chooses it.
inline int faultChosenValue(std::int32_t& faultCounter, const FaultDetail& fault, int normal) {
    return consumeFault(faultCounter) ? static_cast<int>(faultDetail(fault).code) : normal;
}

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
