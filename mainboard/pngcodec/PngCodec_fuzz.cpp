// Fuzzes the PNG library's decoding path: any bytes, pulled in pieces whose size the first byte picks;
// what decodes must encode and decode again to the same rows, every byte of which is read (so that
// AddressSanitizer catches a row shorter than promised).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mainboard/pngcodec/PngCodec.h"

namespace {

simboard::PngPull pullFrom(const std::uint8_t* data, std::size_t size, std::size_t step) {
    return [=, at = std::size_t{0}](std::uint8_t* buffer, std::int32_t count) mutable {
        const std::size_t n = std::min({size - at, static_cast<std::size_t>(count), step});
        std::memcpy(buffer, data + at, n);
        at += n;
        return static_cast<std::int32_t>(n);
    };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    simboard::PngRecord record{};
    std::string why;
    if (!simboard::decodePng(pullFrom(data + 1, size - 1, 1 + data[0] * 17u), record, why)) return 0;
    // A decoded image encodes again and decodes to the same rows (reading every byte of every row).
    const std::vector<std::uint8_t> again = simboard::encodePng(record);
    simboard::PngRecord copy{};
    if (!simboard::decodePng(pullFrom(again.data(), again.size(), again.size()), copy, why) ||
        copy.rowBytes != record.rowBytes || copy.height != record.height)
        __builtin_trap();
    for (std::uint32_t y = 0; y < record.height; ++y)
        if (std::memcmp(copy.rows[y], record.rows[y], record.rowBytes) != 0) __builtin_trap();
    simboard::freePng(copy);
    simboard::freePng(record);
    return 0;
}
