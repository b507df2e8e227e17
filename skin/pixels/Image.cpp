#include "skin/pixels/Image.h"

#include <algorithm>

namespace skin {

void convertRow(const std::uint8_t* from, PixelFormat fromFormat, std::uint8_t* to, PixelFormat toFormat,
                int width) {
    const int fromStep = bytesPerPixel(fromFormat);
    const int toStep = bytesPerPixel(toFormat);
    for (int x = 0; x < width; ++x, from += fromStep, to += toStep) {
        std::copy_n(from, 3, to);
        if (toFormat == PixelFormat::Bits32) to[3] = fromFormat == PixelFormat::Bits32 ? from[3] : 255;
    }
}

PixelBuffer::PixelBuffer(int width, int height, PixelFormat format)
    : m_width(std::max(width, 0)),
      m_height(std::max(height, 0)),
      m_format(format),
      m_bytes(static_cast<std::size_t>(m_width) * m_height * bytesPerPixel(format)) {}

void PixelBuffer::convertTo(PixelFormat format) {
    if (format == m_format) return;
    PixelBuffer converted(m_width, m_height, format);
    for (int y = 0; y < m_height; ++y) convertRow(row(y), m_format, converted.row(y), format, m_width);
    *this = std::move(converted);
}

}  // namespace skin
