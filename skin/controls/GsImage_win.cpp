#include "skin/controls/GsImage.h"

namespace skin {

GsImage::GsImage(SkinForm& form) : GraphicControl(form) {
    m_picture.setOnChange([this] { pictureChanged(); });
}

void GsImage::setAlphaChannel(bool on) {
    if (on == m_alphaChannel) return;
    m_alphaChannel = on;
    pictureChanged();
}

void GsImage::setAlphaBlend(bool on) {
    if (on == m_alphaBlend) return;
    m_alphaBlend = on;
    pictureChanged();
}

void GsImage::setAlphaValue(std::uint8_t value) {
    if (value == m_alphaValue) return;
    m_alphaValue = value;
    if (m_alphaBlend) pictureChanged();
}

void GsImage::pictureChanged() {
    if (m_autoSize && !m_picture.empty())
        setBounds(bounds().left, bounds().top, m_picture.width(), m_picture.height());
    invalidate();
}

void GsImage::paint(Canvas& canvas) {
    if (width() == 0 || height() == 0 || m_picture.empty()) return;
    const RECT whole{0, 0, width(), height()};
    if (!m_alphaChannel || m_picture.format() != PixelFormat::Bits32) {
        canvas.CopyRect(whole, m_picture.canvas(), {0, 0, m_picture.width(), m_picture.height()});
        return;
    }
    BlendLayerOnCanvas(canvas, whole, m_picture, {0, 0}, m_alphaBlend ? m_alphaValue : 255);
}

}  // namespace skin
