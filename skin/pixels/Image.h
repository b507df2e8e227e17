#pragma once
// Rows of 24-bit (B, G, R) or 32-bit (B, G, R, A) pixels, as the skin's image code sees them. A plain
// buffer of our own (PixelBuffer) and the Windows bitmap over a DIB section both expose these rows,
// so every pixel routine is written and tested once, on plain memory.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace skin {

enum class PixelFormat { Bits24 = 3, Bits32 = 4 };  // the value is the number of bytes per pixel

constexpr int bytesPerPixel(PixelFormat format) { return static_cast<int>(format); }

struct Point {
    int x = 0;
    int y = 0;
};

struct Rect {  // left and top inside, right and bottom outside
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

class Image {
  public:
    virtual ~Image() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual PixelFormat format() const = 0;
    // The first byte of row y (0 at the top); rows hold width() pixels of format().
    virtual std::uint8_t* row(int y) = 0;
    virtual const std::uint8_t* row(int y) const = 0;
    // Converts the pixels in place: 32 to 24 bits drops A, 24 to 32 bits sets A to 255.
    virtual void convertTo(PixelFormat format) = 0;

    Rect bounds() const { return {0, 0, width(), height()}; }
};

// Copies the colour bytes of one row between formats (A = 255 when it is added).
void convertRow(const std::uint8_t* from, PixelFormat fromFormat, std::uint8_t* to, PixelFormat toFormat,
                int width);

class PixelBuffer final : public Image {
  public:
    PixelBuffer() = default;
    PixelBuffer(int width, int height, PixelFormat format);

    int width() const override { return m_width; }
    int height() const override { return m_height; }
    PixelFormat format() const override { return m_format; }
    std::uint8_t* row(int y) override { return m_bytes.data() + static_cast<std::ptrdiff_t>(y) * stride(); }
    const std::uint8_t* row(int y) const override {
        return m_bytes.data() + static_cast<std::ptrdiff_t>(y) * stride();
    }
    void convertTo(PixelFormat format) override;

  private:
    std::ptrdiff_t stride() const { return static_cast<std::ptrdiff_t>(m_width) * bytesPerPixel(m_format); }

    int m_width = 0;
    int m_height = 0;
    PixelFormat m_format = PixelFormat::Bits24;
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace skin
