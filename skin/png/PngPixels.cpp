#include "skin/png/PngPixels.h"

#include <algorithm>

#include "support/Assertion.h"

namespace skin {
namespace {

std::uint32_t sourceBytesPerPixel(const PngData& data) { return data.colorType == kPngColorTypeRgba ? 4 : 3; }

}  // namespace

bool pngDataUsable(const PngData& data) {
    if (data.width == 0 || data.height == 0 || !data.rows) return false;
    // Each side first, so that the product (at most 2^26 · 2^26 · 4) cannot overflow.
    if (data.width > kMaxPngImageBytes / 4 || data.height > kMaxPngImageBytes / 4) return false;
    if (std::uint64_t{data.width} * data.height * 4 > kMaxPngImageBytes) return false;
    return std::all_of(data.rows, data.rows + data.height,
                       [](const std::uint8_t* row) { return row != nullptr; });
}

void copyPngPixels(const PngData& data, Image& image) {
    KV_VERIFY(static_cast<std::uint32_t>(image.width()) == data.width &&
              static_cast<std::uint32_t>(image.height()) == data.height);
    const bool sourceAlpha = data.colorType == kPngColorTypeRgba;
    const auto sourceStep = static_cast<int>(sourceBytesPerPixel(data));
    const int step = bytesPerPixel(image.format());
    for (int y = 0; y < image.height(); ++y) {
        const std::uint8_t* from = data.rows[y];
        std::uint8_t* to = image.row(y);
        for (int x = 0; x < image.width(); ++x, from += sourceStep, to += step) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            if (step == 4) {
                to[3] = sourceAlpha ? from[3] : 255;
                if (to[3] == 0) to[0] = to[1] = to[2] = 0;
            }
        }
    }
}

}  // namespace skin
