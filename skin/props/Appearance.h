#pragma once
// Per-state images of skinned controls, and the text margins of a control.

#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "skin/paint/Bitmap.h"
#include "skin/props/Persistent.h"
#include "skin/props/TextEffects.h"

namespace skin {

// A set of per-state images; the subclass owns them and lists them here, indexed by state.
class GsCtrlAppearance : public GsPersistent {
  public:
    // Who changed and the index of the image that changed.
    using ChangeEvent = std::function<void(GsPersistent& sender, int state)>;

    explicit GsCtrlAppearance(ChangeEvent onChange) : m_onChange(std::move(onChange)) {}
    int count() const { return static_cast<int>(m_images.size()); }

  protected:
    void changed(int state) {
        if (m_onChange) m_onChange(*this, state);
    }

    std::vector<Bitmap*> m_images;

  private:
    ChangeEvent m_onChange;
};

// A button's six faces. Any change of one of them (a write, an Assign, a load straight into the
// bitmap that announces itself) raises the change event with its state's index; a property write
// copies the given bitmap, so its listener hears the index twice.
class GsButtonAppearance final : public GsCtrlAppearance {
  public:
    explicit GsButtonAppearance(ChangeEvent onChange = {});

    Bitmap& Raised() { return m_bitmaps[ControlState::Raised]; }
    Bitmap& Sunken() { return m_bitmaps[ControlState::Sunken]; }
    Bitmap& Hovered() { return m_bitmaps[ControlState::Hovered]; }
    Bitmap& Disabled() { return m_bitmaps[ControlState::Disabled]; }
    Bitmap& Focused() { return m_bitmaps[ControlState::Focused]; }
    Bitmap& Active() { return m_bitmaps[ControlState::Active]; }
    void setRaised(const Bitmap& b) { write(ControlState::Raised, b); }
    void setSunken(const Bitmap& b) { write(ControlState::Sunken, b); }
    void setHovered(const Bitmap& b) { write(ControlState::Hovered, b); }
    void setDisabled(const Bitmap& b) { write(ControlState::Disabled, b); }
    void setFocused(const Bitmap& b) { write(ControlState::Focused, b); }
    void setActive(const Bitmap& b) { write(ControlState::Active, b); }

    // The face to show for a state and the state it belongs to: an empty Sunken, Focused or Active
    // shows Hovered, an empty Hovered or Disabled shows Raised; Raised is returned even when empty.
    // A value outside 0..5 is Raised.
    std::pair<Bitmap*, int> ImageFor(int state);
    void Assign(const GsPersistent& source) override;

  private:
    void write(int state, const Bitmap& source);

    std::array<Bitmap, ControlState::count> m_bitmaps;
};

// Insets of a control's text rectangle. Every write raises the change event, also of an unchanged value.
class GsTextMargins final : public GsPersistent {
  public:
    explicit GsTextMargins(skin::ChangeEvent onChange = {}) : m_onChange(std::move(onChange)) {}

    std::int32_t Left() const { return m_left; }
    std::int32_t Right() const { return m_right; }
    std::int32_t Top() const { return m_top; }
    std::int32_t Bottom() const { return m_bottom; }
    void setLeft(std::int32_t value) { write(m_left, value); }
    void setRight(std::int32_t value) { write(m_right, value); }
    void setTop(std::int32_t value) { write(m_top, value); }
    void setBottom(std::int32_t value) { write(m_bottom, value); }
    void Assign(const GsPersistent& source) override;

  private:
    void write(std::int32_t& field, std::int32_t value);

    skin::ChangeEvent m_onChange;
    std::int32_t m_left = 0;
    std::int32_t m_right = 0;
    std::int32_t m_top = 0;
    std::int32_t m_bottom = 0;
};

}  // namespace skin
