#pragma once
// The skin's bitmap and canvas over GDI. A Bitmap is a top-down DIB section selected into a memory
// device context: its rows are the pixel rows the portable code works on, and its canvas draws on
// them with GDI (fills, copies, text).

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <variant>

#include "skin/pixels/Image.h"
#include "win32/Handles.h"

namespace skin {

// Narrow or wide text for DrawTextA or DrawTextW.
using Text = std::variant<std::string_view, std::wstring_view>;

struct Font {
    std::wstring name;
    int height = 0;  // logical units, negative for the character height as LOGFONT has it
    COLORREF color = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    // The system's dialog font in the window-text colour.
    static Font platformDefault();
    friend bool operator==(const Font&, const Font&) = default;
};

// Drawing on a device context: a font and a brush colour kept as attributes and turned into GDI
// objects when used.
class Canvas {
  public:
    explicit Canvas(HDC dc);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return m_dc; }
    Font& font() { return m_font; }
    const Font& font() const { return m_font; }
    void setFont(const Font& font) { m_font = font; }
    COLORREF brushColor() const { return m_brushColor; }
    void setBrushColor(COLORREF color) { m_brushColor = color; }

    void FillRect(const RECT& rect);
    void CopyRect(const RECT& destination, const Canvas& source, const RECT& sourceRect,
                  DWORD mode = SRCCOPY);
    // Text with a transparent background in the font's colour; returns DrawText's result. (Under
    // UNICODE the name is DrawTextW: the narrow and wide forms below pass a Text, or they would call
    // themselves.)
    int DrawText(Text text, RECT& rect, UINT format);
    int DrawTextA(std::string_view text, RECT& rect, UINT format) {
        return DrawText(Text{text}, rect, format);
    }
    int DrawTextW(std::wstring_view text, RECT& rect, UINT format) {
        return DrawText(Text{text}, rect, format);
    }

  private:
    void selectFont();

    HDC m_dc;
    Font m_font = Font::platformDefault();
    COLORREF m_brushColor = RGB(255, 255, 255);
    win32::UniqueFont m_gdiFont;
    Font m_gdiFontMadeFrom;
    HGDIOBJ m_originalFont = nullptr;
};

class Bitmap final : public Image {
  public:
    Bitmap();
    Bitmap(int width, int height, PixelFormat format);
    ~Bitmap() override;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int width() const override { return m_width; }
    int height() const override { return m_height; }
    PixelFormat format() const override { return m_format; }
    std::uint8_t* row(int y) override;
    const std::uint8_t* row(int y) const override;
    void convertTo(PixelFormat format) override;

    bool empty() const { return m_width == 0 || m_height == 0; }
    Canvas& canvas() { return m_canvas; }
    const Canvas& canvas() const { return m_canvas; }

    // New size in the same format, all bytes 0.
    void SetSize(int width, int height);
    // Size, format and pixels of another bitmap (not its canvas's font).
    void Assign(const Bitmap& source);

    // Told of every change of size, format or pixels made through the bitmap, and of writes to its
    // rows that the writer announces with Changed().
    void setOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }
    void Changed();

  private:
    // A new DIB section; the old pixels are converted into it where both have them.
    void recreate(int width, int height, PixelFormat format);

    win32::UniqueMemoryDC m_dc;
    win32::UniqueBitmap m_dib;
    HGDIOBJ m_originalBitmap = nullptr;
    std::uint8_t* m_bits = nullptr;
    std::ptrdiff_t m_stride = 0;
    int m_width = 0;
    int m_height = 0;
    PixelFormat m_format = PixelFormat::Bits24;
    Canvas m_canvas;
    std::function<void()> m_onChange;
};

// Blends the layer over a rectangle of the canvas: the rectangle is copied into a 24-bit bitmap, blended
// there (clipped) and copied back.
void BlendLayerOnCanvas(Canvas& canvas, const RECT& rect, const Bitmap& layer, Point layerPoint,
                        std::uint8_t opacity);
// Copies the layer's pixels from layerPoint onwards into the rectangle, without blending.
void CopyLayerToCanvas(Canvas& canvas, const RECT& rect, const Bitmap& layer, Point layerPoint);

}  // namespace skin
