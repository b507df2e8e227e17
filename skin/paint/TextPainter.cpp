#include "skin/paint/TextPainter.h"

#include <algorithm>

#include "skin/pixels/Layer.h"

namespace skin {
namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

Rect toRect(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

bool isEmpty(const RECT& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

}  // namespace

void TextPainter::DrawOnCanvas(Canvas& canvas, std::string_view text, const RECT& rect, UINT format,
                               bool layer) {
    drawOnCanvas(canvas, text, rect, format, layer);
}
void TextPainter::DrawOnCanvas(Canvas& canvas, std::wstring_view text, const RECT& rect, UINT format,
                               bool layer) {
    drawOnCanvas(canvas, text, rect, format, layer);
}
void TextPainter::DrawOnBitmap(Bitmap& bitmap, std::string_view text, const RECT& rect, UINT format,
                               bool layer) {
    drawOnBitmap(bitmap, text, rect, format, layer);
}
void TextPainter::DrawOnBitmap(Bitmap& bitmap, std::wstring_view text, const RECT& rect, UINT format,
                               bool layer) {
    drawOnBitmap(bitmap, text, rect, format, layer);
}
void TextPainter::MeasureText(Canvas& canvas, std::string_view text, RECT& rect, UINT format) {
    measureText(canvas, text, rect, format);
}
void TextPainter::MeasureText(Canvas& canvas, std::wstring_view text, RECT& rect, UINT format) {
    measureText(canvas, text, rect, format);
}

void TextPainter::Release() {}

void TextPainter::drawOnCanvas(Canvas& canvas, Text text, const RECT& rect, UINT format, bool layer) {
    if (!layer) {
        RECT target = rect;
        canvas.DrawText(text, target, format);
        return;
    }
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    Bitmap coverage(width, height, PixelFormat::Bits32);
    coverage.canvas().setFont(canvas.font());
    drawCoverageLayer(coverage, text, {0, 0, width, height}, format);
    CopyLayerToCanvas(canvas, rect, coverage, {0, 0});
}

void TextPainter::drawOnBitmap(Bitmap& bitmap, Text text, const RECT& rect, UINT format, bool layer) {
    if (layer)
        drawCoverageLayer(bitmap, text, rect, format);
    else
        drawOnCanvas(bitmap.canvas(), text, rect, format, false);
}

void TextPainter::measureText(Canvas& canvas, Text text, RECT& rect, UINT format) {
    canvas.DrawText(text, rect, format | DT_CALCRECT);
}

// The coverage is read where the text was drawn, so a rectangle away from the bitmap's origin (the
// outer glow puts its text r pixels in) gets the alpha of its own glyphs.
void TextPainter::drawCoverageLayer(Bitmap& bitmap, Text text, const RECT& rect, UINT format) {
    Canvas& canvas = bitmap.canvas();
    const COLORREF color = canvas.font().color;
    canvas.setBrushColor(kBlack);
    canvas.font().color = kWhite;
    canvas.FillRect(rect);
    RECT target = rect;
    canvas.DrawText(text, target, format);
    canvas.font().color = color;
    const IntensityMatrix matrix = CoverageFromLuminance(bitmap, toRect(rect));
    canvas.setBrushColor(color);
    canvas.FillRect(rect);
    ApplyAlpha(bitmap, toRect(rect), matrix);
}

void GlowTextPainter::setRadius(int radius) { m_radius = std::clamp(radius, 0, kMaxRadiationRadius); }

void GlowTextPainter::Release() { delete this; }

void GlowTextPainter::drawGlowLayer(Bitmap& bitmap, Text text, const RECT& rect, UINT format,
                                    COLORREF color) {
    Canvas& canvas = bitmap.canvas();
    const COLORREF fontColor = canvas.font().color;
    canvas.setBrushColor(kBlack);
    canvas.FillRect(rect);
    canvas.font().color = kWhite;
    RECT inset{rect.left + m_radius, rect.top + m_radius, rect.right - m_radius, rect.bottom - m_radius};
    canvas.DrawText(text, inset, format);
    canvas.font().color = fontColor;

    const IntensityMatrix coverage = CoverageFromLuminance(bitmap, toRect(rect));
    m_kernels.setSpread(static_cast<float>(m_spread) / 255.0f);
    m_kernels.setStrength(static_cast<float>(m_opacity) / 255.0f);
    const IntensityMatrix glow = RadiationFilter(coverage, *m_kernels.Kernel(m_radius, m_radius));
    canvas.setBrushColor(color);
    canvas.FillRect(rect);
    ApplyAlpha(bitmap, toRect(rect), glow);
}

std::unique_ptr<Bitmap> GlowTextPainter::makeGlowLayer(const Font& font, Text text, int width, int height,
                                                       UINT format) {
    auto layer = std::make_unique<Bitmap>(width, height, PixelFormat::Bits32);
    layer->canvas().setFont(font);
    drawGlowLayer(*layer, text, {0, 0, width, height}, format, font.color);
    return layer;
}

void GlowTextPainter::drawOnCanvas(Canvas& canvas, Text text, const RECT& rect, UINT format, bool layer) {
    const auto glow =
        makeGlowLayer(canvas.font(), text, rect.right - rect.left, rect.bottom - rect.top, format);
    if (layer)
        CopyLayerToCanvas(canvas, rect, *glow, {0, 0});
    else
        BlendLayerOnCanvas(canvas, rect, *glow, {0, 0}, 255);
}

void GlowTextPainter::drawOnBitmap(Bitmap& bitmap, Text text, const RECT& rect, UINT format, bool layer) {
    if (layer) {
        drawGlowLayer(bitmap, text, rect, format, bitmap.canvas().font().color);
        return;
    }
    const auto glow =
        makeGlowLayer(bitmap.canvas().font(), text, rect.right - rect.left, rect.bottom - rect.top, format);
    BlendLayerClipped(bitmap, toRect(rect), *glow, {0, 0}, 255);
}

void GlowTextPainter::measureText(Canvas& canvas, Text text, RECT& rect, UINT format) {
    TextPainter::measureText(canvas, text, rect, format);
    if (isEmpty(rect)) return;
    rect.right += 2 * m_radius;
    rect.bottom += 2 * m_radius;
}

void OuterGlowTextPainter::drawNormal(Canvas& canvas, Bitmap* bitmap, Text text, const RECT& rect,
                                      UINT format) {
    const int r = radius();
    const COLORREF fontColor = canvas.font().color;
    canvas.font().color = m_glowColor;
    RECT textRect{rect.left + r, rect.top + r, rect.right - r - m_radiationX, rect.bottom - r - m_radiationY};
    const RECT glowRect{rect.left + m_radiationX, rect.top + m_radiationY, rect.right, rect.bottom};
    if (r != 0) {
        if (bitmap)
            GlowTextPainter::drawOnBitmap(*bitmap, text, glowRect, format, false);
        else
            GlowTextPainter::drawOnCanvas(canvas, text, glowRect, format, false);
    }
    canvas.font().color = fontColor;
    canvas.DrawText(text, textRect, format);
}

void OuterGlowTextPainter::drawOnCanvas(Canvas& canvas, Text text, const RECT& rect, UINT format,
                                        bool layer) {
    if (!layer) return drawNormal(canvas, nullptr, text, rect, format);
    const int r = radius(), w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (r == 0) {
        const RECT shifted{rect.left, rect.top, rect.left + w - m_radiationX, rect.top + h - m_radiationY};
        return TextPainter::drawOnCanvas(canvas, text, shifted, format, true);
    }
    // Both layers are w x h in the same coordinates: the text sits r inside, its halo r inside the
    // rectangle moved by the radiation offsets.
    Bitmap glow(w, h, PixelFormat::Bits32);
    glow.canvas().setFont(canvas.font());
    glow.canvas().font().color = m_glowColor;
    GlowTextPainter::drawOnBitmap(glow, text, {m_radiationX, m_radiationY, w, h}, format, true);
    Bitmap glyphs(w, h, PixelFormat::Bits32);
    glyphs.canvas().setFont(canvas.font());
    TextPainter::drawOnBitmap(glyphs, text, {r, r, w - m_radiationX - r, h - m_radiationY - r}, format, true);
    OverlayLayer(glow, glow.bounds(), glyphs, {0, 0});
    CopyLayerToCanvas(canvas, rect, glow, {0, 0});
}

void OuterGlowTextPainter::drawOnBitmap(Bitmap& bitmap, Text text, const RECT& rect, UINT format,
                                        bool layer) {
    if (!layer) return drawNormal(bitmap.canvas(), &bitmap, text, rect, format);
    const int r = radius(), w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (r == 0) {
        const RECT shifted{rect.left, rect.top, rect.left + w - m_radiationX, rect.top + h - m_radiationY};
        return TextPainter::drawOnBitmap(bitmap, text, shifted, format, true);
    }
    Bitmap glyphs(w, h, PixelFormat::Bits32);
    glyphs.canvas().setFont(bitmap.canvas().font());
    TextPainter::drawOnBitmap(glyphs, text, {r, r, w - m_radiationX - r, h - m_radiationY - r}, format, true);
    Font& font = bitmap.canvas().font();
    const COLORREF fontColor = font.color;
    font.color = m_glowColor;
    GlowTextPainter::drawOnBitmap(
        bitmap, text, {rect.left + m_radiationX, rect.top + m_radiationY, rect.right, rect.bottom}, format,
        true);
    font.color = fontColor;
    OverlayLayer(bitmap, {rect.left, rect.top, rect.right - m_radiationX, rect.bottom - m_radiationY}, glyphs,
                 {0, 0});
}

void OuterGlowTextPainter::measureText(Canvas& canvas, Text text, RECT& rect, UINT format) {
    GlowTextPainter::measureText(canvas, text, rect, format);
    if (isEmpty(rect)) return;
    rect.right += m_radiationX;
    rect.bottom += m_radiationY;
}

}  // namespace skin
