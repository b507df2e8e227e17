#include "mainboard/pngcodec/PngCodec.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace simboard {

namespace {

std::uint32_t bytesPerPixel(std::uint32_t colourType) { return colourType == kPngColourRgba ? 4 : 3; }

// The whole stream, pulled in chunks: the decoder needs to look at the header before it knows how
// many channels to ask for, and a pulled stream cannot be rewound.
bool pullAll(const PngPull& pull, std::vector<std::uint8_t>& bytes, std::string& why) {
    constexpr std::int32_t kChunk = 64 * 1024;
    for (;;) {
        const std::size_t at = bytes.size();
        if (at > kPngMaxFileBytes) {
            why = "the file is larger than " + std::to_string(kPngMaxFileBytes >> 20) + " MiB";
            return false;
        }
        bytes.resize(at + kChunk);
        const std::int32_t got = pull(bytes.data() + at, kChunk);
        if (got < 0 || got > kChunk) {
            why = "the read function returned " + std::to_string(got) + " for " + std::to_string(kChunk) +
                  " bytes";
            return false;
        }
        bytes.resize(at + static_cast<std::size_t>(got));
        if (got == 0) return true;
    }
}

std::uint32_t bigEndian(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Every chunk's stated length fits in what is left of the file. The decoder would otherwise grow its
// buffer to a length that a chunk merely claims (up to 2 GiB from a file of a few bytes).
bool chunksFitTheFile(const std::vector<std::uint8_t>& bytes, std::string& why) {
    constexpr std::size_t kSignature = 8, kHeader = 8, kCrc = 4;  // a chunk: length and type, data, CRC
    std::size_t at = kSignature;
    while (at + kHeader <= bytes.size()) {
        const std::uint32_t length = bigEndian(bytes.data() + at);
        const std::size_t left = bytes.size() - at - kHeader;
        if (length > left) {
            why = "a chunk claims " + std::to_string(length) + " bytes, but the file has " +
                  std::to_string(left) + " left";
            return false;
        }
        if (std::memcmp(bytes.data() + at + 4, "IEND", 4) == 0) return true;
        at += kHeader + length + kCrc;
    }
    return true;  // a file cut short is the decoder's to report
}

struct StbFree {
    void operator()(unsigned char* pixels) const { stbi_image_free(pixels); }
};

// The decoder's reason for a failure; it gives none for some damaged data streams.
std::string decoderReason() {
    const char* reason = stbi_failure_reason();
    return reason ? reason : "the decoder gives no reason";
}

}  // namespace

bool allocatePng(std::uint32_t width, std::uint32_t height, std::uint32_t colourType, PngRecord& record) {
    record = {};
    if (width == 0 || height == 0 || width > kPngMaxSide || height > kPngMaxSide ||
        std::uint64_t{width} * height > kPngMaxPixels)
        return false;
    if (colourType != kPngColourRgb && colourType != kPngColourRgba) return false;
    // One block: the row pointers, then the rows. Sides of at most 2^14 keep every product in range.
    const std::size_t rowBytes = std::size_t{width} * bytesPerPixel(colourType);
    const std::size_t pointerBytes = std::size_t{height} * sizeof(std::uint8_t*);
    void* block = std::calloc(1, pointerBytes + rowBytes * height);
    if (!block) return false;
    auto** rows = static_cast<std::uint8_t**>(block);
    auto* pixels = static_cast<std::uint8_t*>(block) + pointerBytes;
    for (std::uint32_t y = 0; y < height; ++y) rows[y] = pixels + rowBytes * y;
    record = {width, height, 8, colourType, static_cast<std::uint32_t>(rowBytes), rows};
    return true;
}

void freePng(PngRecord& record) {
    std::free(record.rows);
    record = {};
}

bool decodePng(const PngPull& pull, PngRecord& record, std::string& why) {
    record = {};
    std::vector<std::uint8_t> bytes;
    if (!pullAll(pull, bytes, why)) return false;
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
        why = "the file is too large";
        return false;
    }
    const int length = static_cast<int>(bytes.size());
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), length, &width, &height, &channels)) {
        why = "not a PNG image the library reads: " + decoderReason();
        return false;
    }
    if (std::uint64_t{static_cast<std::uint32_t>(width)} * static_cast<std::uint32_t>(height) >
        kPngMaxPixels) {
        why = "the image has " + std::to_string(width) + " x " + std::to_string(height) +
              " pixels, more than " + std::to_string(kPngMaxPixels) + " in all";
        return false;
    }
    if (!chunksFitTheFile(bytes, why)) return false;
    // Grey becomes RGB, grey with alpha RGBA; 16-bit channels are delivered as 8-bit.
    const bool alpha = channels == 2 || channels == 4;
    const int wanted = alpha ? 4 : 3;
    std::unique_ptr<unsigned char, StbFree> pixels(
        stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, wanted));
    if (!pixels) {
        why = "the image cannot be decoded: " + decoderReason();
        return false;
    }
    if (!allocatePng(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                     alpha ? kPngColourRgba : kPngColourRgb, record)) {
        why = "no memory for " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
        return false;
    }
    for (std::uint32_t y = 0; y < record.height; ++y)
        std::memcpy(record.rows[y], pixels.get() + std::size_t{record.rowBytes} * y, record.rowBytes);
    return true;
}

std::vector<std::uint8_t> encodePng(const PngRecord& record) {
    if (!record.rows || record.width == 0 || record.height == 0 || record.width > kPngMaxSide ||
        record.height > kPngMaxSide ||
        (record.colourType != kPngColourRgb && record.colourType != kPngColourRgba))
        return {};
    const std::size_t rowBytes = std::size_t{record.width} * bytesPerPixel(record.colourType);
    std::vector<std::uint8_t> image(rowBytes * record.height);
    for (std::uint32_t y = 0; y < record.height; ++y) {
        if (!record.rows[y]) return {};
        std::memcpy(image.data() + rowBytes * y, record.rows[y], rowBytes);
    }
    std::vector<std::uint8_t> png;
    const auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(context);
        out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
    };
    if (!stbi_write_png_to_func(append, &png, static_cast<int>(record.width), static_cast<int>(record.height),
                                static_cast<int>(bytesPerPixel(record.colourType)), image.data(),
                                static_cast<int>(rowBytes)))
        return {};
    return png;
}

}  // namespace simboard
