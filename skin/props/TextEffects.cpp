#include "skin/props/TextEffects.h"

#include <algorithm>
#include <variant>

namespace skin {

void EffectTextPainter::drawOnCanvas(Canvas& canvas, Text text, const RECT& rect, UINT format, bool layer) {
    canvas.setFont(m_effect.font());
    std::visit([&](auto view) { m_effect.glowPainter().DrawOnCanvas(canvas, view, rect, format, layer); },
               text);
}

void EffectTextPainter::drawOnBitmap(Bitmap& bitmap, Text text, const RECT& rect, UINT format, bool layer) {
    bitmap.canvas().setFont(m_effect.font());
    const int dx = m_effect.OffsetX(), dy = m_effect.OffsetY();
    if (dx == 0 && dy == 0) {
        std::visit([&](auto view) { m_effect.glowPainter().DrawOnBitmap(bitmap, view, rect, format, layer); },
                   text);
        return;
    }
    // Drawn moved in a copy and only the rectangle taken back: the text is cut at its edges.
    Bitmap copy;
    copy.Assign(bitmap);
    copy.canvas().setFont(m_effect.font());
    const RECT moved{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
    std::visit([&](auto view) { m_effect.glowPainter().DrawOnBitmap(copy, view, moved, format, layer); },
               text);
    bitmap.canvas().CopyRect(rect, copy.canvas(), rect);
}

void EffectTextPainter::measureText(Canvas& canvas, Text text, RECT& rect, UINT format) {
    canvas.setFont(m_effect.font());
    std::visit([&](auto view) { m_effect.glowPainter().MeasureText(canvas, view, rect, format); }, text);
}

GsTextRadiationEffect::GsTextRadiationEffect(ChangeEvent onChange) : m_onChange(std::move(onChange)) {}

void GsTextRadiationEffect::changed() {
    if (m_onChange) m_onChange(*this);
}

void GsTextRadiationEffect::setOpacity(std::uint8_t opacity) {
    if (opacity == Opacity()) return;
    m_glow->setOpacity(opacity);
    changed();
}

void GsTextRadiationEffect::setRadius(std::uint32_t radius) {
    const auto bounded = std::min<std::uint32_t>(radius, kMaxRadiationRadius);
    if (bounded == Radius()) return;
    m_glow->setRadius(static_cast<int>(bounded));
    changed();
}

void GsTextRadiationEffect::setSpread(std::uint8_t spread) {
    if (spread == Spread()) return;
    m_glow->setSpread(spread);
    changed();
}

void GsTextRadiationEffect::setColor(COLORREF color) {
    if (color == Color()) return;
    m_glow->setGlowColor(color);
    changed();
}

void GsTextRadiationEffect::setRadiationX(std::int32_t x) {
    if (x == RadiationX()) return;
    m_glow->setRadiation(x, RadiationY());
    changed();
}

void GsTextRadiationEffect::setRadiationY(std::int32_t y) {
    if (y == RadiationY()) return;
    m_glow->setRadiation(RadiationX(), y);
    changed();
}

void GsTextRadiationEffect::setOffsetX(std::int32_t x) {
    if (x == m_offsetX) return;
    m_offsetX = x;
    changed();
}

void GsTextRadiationEffect::setOffsetY(std::int32_t y) {
    if (y == m_offsetY) return;
    m_offsetY = y;
    changed();
}

void GsTextRadiationEffect::setFont(const Font& font) {
    if (&font == &m_font) return;
    m_font = font;
    changed();
}

void GsTextRadiationEffect::Assign(const GsPersistent& source) {
    const GsTextRadiationEffect& other = sameClass(source, *this);
    m_glow->setOpacity(other.Opacity());
    m_glow->setRadius(static_cast<int>(other.Radius()));
    m_glow->setSpread(other.Spread());
    m_glow->setGlowColor(other.Color());
    m_glow->setRadiation(other.RadiationX(), other.RadiationY());
    m_offsetX = other.m_offsetX;
    m_offsetY = other.m_offsetY;
    m_font = other.m_font;
    changed();
}

GsButtonOuterGlowTextEffect::GsButtonOuterGlowTextEffect() : m_relay([this](GsPersistent&) { changed(); }) {
    m_effects[ControlState::Raised] = std::make_unique<GsTextRadiationEffect>(m_relay);
}

// A state made on first read is set up before it is connected: reading tells nobody of a change.
GsTextRadiationEffect& GsButtonOuterGlowTextEffect::effect(int state) const {
    std::unique_ptr<GsTextRadiationEffect>& slot = m_effects[state];
    if (slot) return *slot;
    auto made = std::make_unique<GsTextRadiationEffect>();
    const GsTextRadiationEffect& raised = *m_effects[ControlState::Raised];
    if (state == ControlState::Sunken) {
        made->setFont(raised.font());
        made->setOffsetX(2);
        made->setOffsetY(2);
    } else {
        made->Assign(raised);
        if (state == ControlState::Disabled) made->font().color = ::GetSysColor(COLOR_GRAYTEXT);
    }
    made->setOnChange(m_relay);
    slot = std::move(made);
    return *slot;
}

void GsButtonOuterGlowTextEffect::write(int state, const GsTextRadiationEffect& source) {
    if (&source == m_effects[state].get()) return;
    effect(state).Assign(source);
}

TextPainter& GsButtonOuterGlowTextEffect::PainterFor(int state) {
    return effect(state >= ControlState::Sunken && state <= ControlState::Active ? state
                                                                                 : ControlState::Raised)
        .Painter();
}

void GsButtonOuterGlowTextEffect::Assign(const GsPersistent& source) {
    const GsButtonOuterGlowTextEffect& other = sameClass(source, *this);
    for (int state = 0; state < ControlState::count; ++state) effect(state).Assign(other.effect(state));
}

}  // namespace skin
