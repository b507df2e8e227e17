#pragma once
// Text effects of skinned controls: one effect (halo, colours, offsets, font) and the per-state set
// of a button. Each effect draws through its own outer-glow painter.

#include <array>
#include <cstdint>
#include <memory>

#include "skin/paint/TextPainter.h"
#include "skin/props/Persistent.h"

namespace skin {

class GsTextRadiationEffect;

// The painter a control draws an effect's text with: it puts the effect's font on the target and
// hands over to the effect's outer-glow painter; on a bitmap it moves the drawing by the effect's
// offsets, cut at the edges of the rectangle. The effect owns it; Release does nothing.
class EffectTextPainter final : public TextPainter {
  public:
    explicit EffectTextPainter(GsTextRadiationEffect& effect) : m_effect(effect) {}

  protected:
    void drawOnCanvas(Canvas& canvas, Text text, const RECT& rect, UINT format, bool layer) override;
    void drawOnBitmap(Bitmap& bitmap, Text text, const RECT& rect, UINT format, bool layer) override;
    void measureText(Canvas& canvas, Text text, RECT& rect, UINT format) override;

  private:
    GsTextRadiationEffect& m_effect;
};

class GsTextRadiationEffect final : public GsPersistent {
  public:
    explicit GsTextRadiationEffect(ChangeEvent onChange = {});

    std::uint8_t Opacity() const { return m_glow->opacity(); }
    void setOpacity(std::uint8_t opacity);
    // Bounded to kMaxRadiationRadius: a larger value is stored as the bound.
    std::uint32_t Radius() const { return static_cast<std::uint32_t>(m_glow->radius()); }
    void setRadius(std::uint32_t radius);
    std::uint8_t Spread() const { return m_glow->spread(); }
    void setSpread(std::uint8_t spread);
    COLORREF Color() const { return m_glow->glowColor(); }
    void setColor(COLORREF color);
    std::int32_t RadiationX() const { return m_glow->radiationX(); }
    void setRadiationX(std::int32_t x);
    std::int32_t RadiationY() const { return m_glow->radiationY(); }
    void setRadiationY(std::int32_t y);
    std::int32_t OffsetX() const { return m_offsetX; }
    void setOffsetX(std::int32_t x);
    std::int32_t OffsetY() const { return m_offsetY; }
    void setOffsetY(std::int32_t y);
    // The font put on the target before every draw and measure. Changing its attributes in place
    // tells nobody; setFont with another font object copies it and raises the change event.
    Font& font() { return m_font; }
    const Font& font() const { return m_font; }
    void setFont(const Font& font);

    TextPainter& Painter() { return m_painter; }
    OuterGlowTextPainter& glowPainter() { return *m_glow; }
    void setOnChange(ChangeEvent onChange) { m_onChange = std::move(onChange); }
    void Assign(const GsPersistent& source) override;

  private:
    void changed();

    ChangeEvent m_onChange;
    std::int32_t m_offsetX = 0;
    std::int32_t m_offsetY = 0;
    Font m_font = Font::platformDefault();
    std::unique_ptr<OuterGlowTextPainter, ReleasePainter> m_glow{new OuterGlowTextPainter};
    EffectTextPainter m_painter{*this};
};

// Control states: one numbering for images and text effects.
struct ControlState {
    static constexpr int Raised = 0, Sunken = 1, Hovered = 2, Disabled = 3, Focused = 4, Active = 5;
    static constexpr int count = 6;
};

class GsCtrlTextEffect : public GsPersistent {
  public:
    void setOnChange(ChangeEvent onChange) { m_onChange = std::move(onChange); }

  protected:
    void changed() {
        if (m_onChange) m_onChange(*this);
    }

  private:
    ChangeEvent m_onChange;
};

// The text effects of a button's six states. Raised exists from the start; the others are made when
// first read: Sunken with Raised's font and offsets (2, 2), Hovered, Focused and Active as copies of
// Raised, Disabled as a copy in the grey-text colour. Later changes of Raised do not reach them.
class GsButtonOuterGlowTextEffect final : public GsCtrlTextEffect {
  public:
    GsButtonOuterGlowTextEffect();

    GsTextRadiationEffect& Raised() { return effect(ControlState::Raised); }
    GsTextRadiationEffect& Sunken() { return effect(ControlState::Sunken); }
    GsTextRadiationEffect& Hovered() { return effect(ControlState::Hovered); }
    GsTextRadiationEffect& Disabled() { return effect(ControlState::Disabled); }
    GsTextRadiationEffect& Focused() { return effect(ControlState::Focused); }
    GsTextRadiationEffect& Active() { return effect(ControlState::Active); }
    // Writing a state assigns the given effect into the set's own one; the set keeps ownership.
    void setRaised(const GsTextRadiationEffect& e) { write(ControlState::Raised, e); }
    void setSunken(const GsTextRadiationEffect& e) { write(ControlState::Sunken, e); }
    void setHovered(const GsTextRadiationEffect& e) { write(ControlState::Hovered, e); }
    void setDisabled(const GsTextRadiationEffect& e) { write(ControlState::Disabled, e); }
    void setFocused(const GsTextRadiationEffect& e) { write(ControlState::Focused, e); }
    void setActive(const GsTextRadiationEffect& e) { write(ControlState::Active, e); }

    // The painter of the state's effect; a value outside 1..5 gives Raised's.
    TextPainter& PainterFor(int state);
    void Assign(const GsPersistent& source) override;

  private:
    // Made on first read, also of a source being assigned from: hence const and mutable.
    GsTextRadiationEffect& effect(int state) const;
    void write(int state, const GsTextRadiationEffect& source);

    ChangeEvent m_relay;  // each effect's change is the set's change
    mutable std::array<std::unique_ptr<GsTextRadiationEffect>, ControlState::count> m_effects;
};

}  // namespace skin
