#include "skin/pixels/Layer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "support/Assertion.h"

namespace skin {
namespace {

int clampToInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

// The part of a rectangle inside the image (empty when they do not meet).
Rect clipToImage(Rect rect, const Image& image) {
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    rect.right = std::min(rect.right, image.width());
    rect.bottom = std::min(rect.bottom, image.height());
    return rect;
}

}  // namespace

IntensityMatrix::IntensityMatrix(int rows, int columns)
    : m_rows(std::max(rows, 0)),
      m_columns(std::max(columns, 0)),
      m_values(static_cast<std::size_t>(m_rows) * static_cast<std::size_t>(m_columns)) {}

LayerPlacement ClipLayerPlacement(Rect rect, Point layerPoint, const Image& destination, const Image& layer) {
    long long left = rect.left, top = rect.top, x = layerPoint.x, y = layerPoint.y;
    if (left < 0) x -= std::exchange(left, 0);
    if (x < 0) left -= std::exchange(x, 0);
    if (top < 0) y -= std::exchange(top, 0);
    if (y < 0) top -= std::exchange(y, 0);
    const long long usableWidth = std::max<long long>(layer.width() - x, 0);
    const long long usableHeight = std::max<long long>(layer.height() - y, 0);
    const long long right = std::min({static_cast<long long>(rect.right),
                                      static_cast<long long>(destination.width()), left + usableWidth});
    const long long bottom = std::min({static_cast<long long>(rect.bottom),
                                       static_cast<long long>(destination.height()), top + usableHeight});
    return {{clampToInt(left), clampToInt(top), clampToInt(std::max(right, left)),
             clampToInt(std::max(bottom, top))},
            {clampToInt(x), clampToInt(y)}};
}

void BlendLayer(Image& destination, Rect rect, const Image& layer, Point layerPoint, std::uint8_t opacity) {
    KV_VERIFY_AS(layer.format() == PixelFormat::Bits32, "src->PixelFormat == pf32bit");
    if (destination.format() != PixelFormat::Bits24) destination.convertTo(PixelFormat::Bits24);
    const LayerPlacement place = ClipLayerPlacement(rect, layerPoint, destination, layer);
    // In whole numbers over 255 * 255, so that the truncation is exact: in floating point an opaque
    // pixel of 30 came out as 29.999... and was cut to 29.
    for (int i = 0; i < place.rect.height(); ++i) {
        const std::uint8_t* s =
            layer.row(place.layerPoint.y + i) + static_cast<std::ptrdiff_t>(place.layerPoint.x) * 4;
        std::uint8_t* d =
            destination.row(place.rect.top + i) + static_cast<std::ptrdiff_t>(place.rect.left) * 3;
        for (int j = 0; j < place.rect.width(); ++j, s += 4, d += 3) {
            const int sourceWeight = opacity * s[3], destinationWeight = (255 - s[3]) * 255;
            for (int c = 0; c < 3; ++c)
                d[c] =
                    static_cast<std::uint8_t>((s[c] * sourceWeight + d[c] * destinationWeight) / (255 * 255));
        }
    }
}

void BlendLayerClipped(Image& destination, Rect rect, const Image& layer, Point layerPoint,
                       std::uint8_t opacity) {
    BlendLayer(destination, rect, layer, layerPoint, opacity);
}

void BlendLayerWhole(Image& destination, const Image& layer, std::uint8_t opacity) {
    BlendLayer(destination, destination.bounds(), layer, {0, 0}, opacity);
}

void OverlayLayer(Image& background, Rect rect, const Image& layer, Point layerPoint) {
    KV_VERIFY_AS(background.format() == PixelFormat::Bits32 && layer.format() == PixelFormat::Bits32,
                 "backgnd->PixelFormat == pf32bit && layer->PixelFormat == pf32bit");
    const LayerPlacement place = ClipLayerPlacement(rect, layerPoint, background, layer);
    for (int i = 0; i < place.rect.height(); ++i) {
        const std::uint8_t* s =
            layer.row(place.layerPoint.y + i) + static_cast<std::ptrdiff_t>(place.layerPoint.x) * 4;
        std::uint8_t* d =
            background.row(place.rect.top + i) + static_cast<std::ptrdiff_t>(place.rect.left) * 4;
        for (int j = 0; j < place.rect.width(); ++j, s += 4, d += 4) {
            if (s[3] != 0) std::copy_n(s, 4, d);
        }
    }
}

IntensityMatrix CoverageFromLuminance(const Image& image, Rect rect) {
    IntensityMatrix matrix(rect.height(), rect.width());
    const Rect inside = clipToImage(rect, image);
    const int step = bytesPerPixel(image.format());
    for (int y = inside.top; y < inside.bottom; ++y) {
        const std::uint8_t* p = image.row(y) + static_cast<std::ptrdiff_t>(inside.left) * step;
        for (int x = inside.left; x < inside.right; ++x, p += step) {
            matrix.at(y - rect.top, x - rect.left) =
                static_cast<std::int32_t>(std::lround(0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0]));
        }
    }
    return matrix;
}

void ApplyAlpha(Image& image, Rect rect, const IntensityMatrix& matrix) {
    // With 3 bytes per pixel the alpha byte would land on the next pixel's blue: give the image an
    // alpha channel instead.
    if (image.format() != PixelFormat::Bits32) image.convertTo(PixelFormat::Bits32);
    Rect inside = clipToImage(rect, image);
    inside.right = std::min(inside.right, rect.left + matrix.columns());
    inside.bottom = std::min(inside.bottom, rect.top + matrix.rows());
    for (int y = inside.top; y < inside.bottom; ++y) {
        std::uint8_t* p = image.row(y) + static_cast<std::ptrdiff_t>(inside.left) * 4;
        for (int x = inside.left; x < inside.right; ++x, p += 4) {
            const std::int32_t value = matrix.at(y - rect.top, x - rect.left);
            p[3] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
            if (value <= 0) p[0] = p[1] = p[2] = 0;
        }
    }
}

}  // namespace skin
