#pragma once
// Text painters: plain text, text with a halo ("radiation") in its own colour, and text with a halo
// in a second colour. Each draws on a canvas or a bitmap, either plainly onto the target (normal
// route) or as a 32-bit layer whose alpha is the text's coverage (layer route).

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string_view>

#include "skin/paint/Bitmap.h"
#include "skin/pixels/Radiation.h"

namespace skin {

class TextPainter {
  public:
    virtual void DrawOnCanvas(Canvas& canvas, std::string_view text, const RECT& rect, UINT format,
                              bool layer);
    virtual void DrawOnCanvas(Canvas& canvas, std::wstring_view text, const RECT& rect, UINT format,
                              bool layer);
    virtual void DrawOnBitmap(Bitmap& bitmap, std::string_view text, const RECT& rect, UINT format,
                              bool layer);
    virtual void DrawOnBitmap(Bitmap& bitmap, std::wstring_view text, const RECT& rect, UINT format,
                              bool layer);
    // DrawText's DT_CALCRECT with the given flags: the rectangle becomes the text's extent.
    virtual void MeasureText(Canvas& canvas, std::string_view text, RECT& rect, UINT format);
    virtual void MeasureText(Canvas& canvas, std::wstring_view text, RECT& rect, UINT format);
    // Drops the caller's reference: the plain painter is not owned by its callers and stays.
    virtual void Release();
    virtual ~TextPainter() = default;

  protected:
    // The narrow and wide operations meet here.
    virtual void drawOnCanvas(Canvas& canvas, Text text, const RECT& rect, UINT format, bool layer);
    virtual void drawOnBitmap(Bitmap& bitmap, Text text, const RECT& rect, UINT format, bool layer);
    virtual void measureText(Canvas& canvas, Text text, RECT& rect, UINT format);

    // White text on black in the rectangle of the bitmap turned into a layer in the font's colour
    // whose alpha is the text's anti-aliased coverage.
    static void drawCoverageLayer(Bitmap& bitmap, Text text, const RECT& rect, UINT format);
};

// Calls Release() instead of deleting: owners hold the painters they created with this.
struct ReleasePainter {
    void operator()(TextPainter* painter) const { painter->Release(); }
};

class GlowTextPainter : public TextPainter {
  public:
    std::uint8_t opacity() const { return m_opacity; }
    void setOpacity(std::uint8_t opacity) { m_opacity = opacity; }
    int radius() const { return m_radius; }
    // Bounded to 0..kMaxRadiationRadius.
    void setRadius(int radius);
    std::uint8_t spread() const { return m_spread; }
    void setSpread(std::uint8_t spread) { m_spread = spread; }

    void Release() override;  // frees the painter

  protected:
    void drawOnCanvas(Canvas& canvas, Text text, const RECT& rect, UINT format, bool layer) override;
    void drawOnBitmap(Bitmap& bitmap, Text text, const RECT& rect, UINT format, bool layer) override;
    void measureText(Canvas& canvas, Text text, RECT& rect, UINT format) override;

    // The text inset by the radius, white on black in the rectangle, made into a layer of the colour
    // whose alpha is the halo.
    void drawGlowLayer(Bitmap& bitmap, Text text, const RECT& rect, UINT format, COLORREF color);
    // A new w x h layer holding the halo of the text in the font's colour.
    std::unique_ptr<Bitmap> makeGlowLayer(const Font& font, Text text, int width, int height, UINT format);

  private:
    std::uint8_t m_opacity = 255;
    int m_radius = 0;
    std::uint8_t m_spread = 0;
    RadiationKernelFactory m_kernels;
};

class OuterGlowTextPainter : public GlowTextPainter {
  public:
    COLORREF glowColor() const { return m_glowColor; }
    void setGlowColor(COLORREF color) { m_glowColor = color; }
    int radiationX() const { return m_radiationX; }
    int radiationY() const { return m_radiationY; }
    // The halo is drawn displaced by these offsets from the text.
    void setRadiation(int x, int y) {
        m_radiationX = x;
        m_radiationY = y;
    }

  protected:
    void drawOnCanvas(Canvas& canvas, Text text, const RECT& rect, UINT format, bool layer) override;
    void drawOnBitmap(Bitmap& bitmap, Text text, const RECT& rect, UINT format, bool layer) override;
    void measureText(Canvas& canvas, Text text, RECT& rect, UINT format) override;

  private:
    // Halo in the glow colour at the rectangle moved by the offsets, then the text plainly inside it.
    void drawNormal(Canvas& canvas, Bitmap* bitmap, Text text, const RECT& rect, UINT format);

    COLORREF m_glowColor = RGB(255, 255, 191);
    int m_radiationX = 0;
    int m_radiationY = 0;
};

}  // namespace skin
