#include "skin/paint/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "skin/pixels/Layer.h"

namespace skin {

Font Font::platformDefault() {
    LOGFONTW logFont{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof logFont, &logFont);
    Font font;
    font.name = logFont.lfFaceName;
    font.height = logFont.lfHeight;
    font.color = ::GetSysColor(COLOR_WINDOWTEXT);
    font.bold = logFont.lfWeight >= FW_BOLD;
    font.italic = logFont.lfItalic != 0;
    font.underline = logFont.lfUnderline != 0;
    font.strikeOut = logFont.lfStrikeOut != 0;
    return font;
}

Canvas::Canvas(HDC dc) : m_dc(dc) {}

Canvas::~Canvas() {
    if (m_originalFont) ::SelectObject(m_dc, m_originalFont);
}

void Canvas::selectFont() {
    if (!m_gdiFont || !(m_font == m_gdiFontMadeFrom)) {
        LOGFONTW logFont{};
        logFont.lfHeight = m_font.height;
        logFont.lfWeight = m_font.bold ? FW_BOLD : FW_NORMAL;
        logFont.lfItalic = m_font.italic;
        logFont.lfUnderline = m_font.underline;
        logFont.lfStrikeOut = m_font.strikeOut;
        logFont.lfCharSet = DEFAULT_CHARSET;
        logFont.lfQuality = ANTIALIASED_QUALITY;  // glow layers take their alpha from the glyphs' grey edges
        m_font.name.copy(logFont.lfFaceName, LF_FACESIZE - 1);
        win32::UniqueFont made(::CreateFontIndirectW(&logFont));
        HGDIOBJ previous = ::SelectObject(m_dc, made.get());
        if (!m_originalFont) m_originalFont = previous;
        m_gdiFont = std::move(made);
        m_gdiFontMadeFrom = m_font;
    }
    ::SetTextColor(m_dc, m_font.color);
}

void Canvas::FillRect(const RECT& rect) {
    win32::UniqueBrush brush(::CreateSolidBrush(m_brushColor));
    ::FillRect(m_dc, &rect, brush.get());
}

void Canvas::CopyRect(const RECT& destination, const Canvas& source, const RECT& sourceRect, DWORD mode) {
    ::StretchBlt(m_dc, destination.left, destination.top, destination.right - destination.left,
                 destination.bottom - destination.top, source.m_dc, sourceRect.left, sourceRect.top,
                 sourceRect.right - sourceRect.left, sourceRect.bottom - sourceRect.top, mode);
}

int Canvas::DrawText(Text text, RECT& rect, UINT format) {
    selectFont();
    ::SetBkMode(m_dc, TRANSPARENT);
    return std::visit(
        [&](auto view) {
            if constexpr (std::is_same_v<decltype(view), std::string_view>)
                return ::DrawTextA(m_dc, view.data(), static_cast<int>(view.size()), &rect, format);
            else
                return ::DrawTextW(m_dc, view.data(), static_cast<int>(view.size()), &rect, format);
        },
        text);
}

Bitmap::Bitmap() : m_dc(::CreateCompatibleDC(nullptr)), m_canvas(m_dc.get()) {}

Bitmap::Bitmap(int width, int height, PixelFormat format) : Bitmap() { recreate(width, height, format); }

Bitmap::~Bitmap() {
    if (m_originalBitmap) ::SelectObject(m_dc.get(), m_originalBitmap);
}

std::uint8_t* Bitmap::row(int y) {
    ::GdiFlush();  // GDI may still be drawing into the section
    return m_bits + y * m_stride;
}

const std::uint8_t* Bitmap::row(int y) const {
    ::GdiFlush();
    return m_bits + y * m_stride;
}

void Bitmap::recreate(int width, int height, PixelFormat format) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    win32::UniqueBitmap dib;
    void* bits = nullptr;
    if (width > 0 && height > 0) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down: row 0 first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<WORD>(8 * bytesPerPixel(format));
        info.bmiHeader.biCompression = BI_RGB;
        dib.reset(::CreateDIBSection(m_dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!dib) throw std::bad_alloc();
    }
    const std::ptrdiff_t stride = (static_cast<std::ptrdiff_t>(width) * bytesPerPixel(format) + 3) / 4 * 4;
    if (bits) std::memset(bits, 0, static_cast<std::size_t>(stride) * height);
    for (int y = 0; y < std::min(height, m_height); ++y)
        convertRow(row(y), m_format, static_cast<std::uint8_t*>(bits) + y * stride, format,
                   std::min(width, m_width));

    HGDIOBJ previous = ::SelectObject(m_dc.get(), dib ? dib.get() : m_originalBitmap);
    if (!m_originalBitmap) m_originalBitmap = previous;
    m_dib = std::move(dib);
    m_bits = static_cast<std::uint8_t*>(bits);
    m_stride = stride;
    m_width = m_dib ? width : 0;
    m_height = m_dib ? height : 0;
    m_format = format;
}

void Bitmap::convertTo(PixelFormat format) {
    if (format == m_format) return;
    recreate(m_width, m_height, format);
    Changed();
}

void Bitmap::SetSize(int width, int height) {
    if (width == m_width && height == m_height) return;
    m_height = 0;  // nothing to carry over
    recreate(width, height, m_format);
    Changed();
}

void Bitmap::Assign(const Bitmap& source) {
    if (&source == this) return;
    m_height = 0;
    recreate(source.width(), source.height(), source.format());
    for (int y = 0; y < m_height; ++y)
        std::memcpy(row(y), source.row(y), static_cast<std::size_t>(m_width) * bytesPerPixel(m_format));
    Changed();
}

void Bitmap::Changed() {
    if (m_onChange) m_onChange();
}

void BlendLayerOnCanvas(Canvas& canvas, const RECT& rect, const Bitmap& layer, Point layerPoint,
                        std::uint8_t opacity) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    Bitmap under(width, height, PixelFormat::Bits24);
    const RECT whole{0, 0, width, height};
    under.canvas().CopyRect(whole, canvas, rect);
    BlendLayerClipped(under, {0, 0, width, height}, layer, layerPoint, opacity);
    canvas.CopyRect(rect, under.canvas(), whole);
}

void CopyLayerToCanvas(Canvas& canvas, const RECT& rect, const Bitmap& layer, Point layerPoint) {
    const RECT source{layerPoint.x, layerPoint.y, layerPoint.x + rect.right - rect.left,
                      layerPoint.y + rect.bottom - rect.top};
    canvas.CopyRect(rect, layer.canvas(), source);
}

}  // namespace skin
