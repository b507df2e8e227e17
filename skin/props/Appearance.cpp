#include "skin/props/Appearance.h"

namespace skin {

GsButtonAppearance::GsButtonAppearance(ChangeEvent onChange) : GsCtrlAppearance(std::move(onChange)) {
    for (int state = 0; state < ControlState::count; ++state) {
        m_bitmaps[state].setOnChange([this, state] { changed(state); });
        m_images.push_back(&m_bitmaps[state]);
    }
}

void GsButtonAppearance::write(int state, const Bitmap& source) {
    m_bitmaps[state].Assign(source);
    changed(state);
}

std::pair<Bitmap*, int> GsButtonAppearance::ImageFor(int state) {
    if (state < 0 || state >= count()) state = ControlState::Raised;
    while (m_images[state]->empty() && state != ControlState::Raised) {
        const bool showsHovered =
            state == ControlState::Sunken || state == ControlState::Focused || state == ControlState::Active;
        state = showsHovered ? ControlState::Hovered : ControlState::Raised;
    }
    return {m_images[state], state};
}

void GsButtonAppearance::Assign(const GsPersistent& source) {
    const GsButtonAppearance& other = sameClass(source, *this);
    for (int state = 0; state < ControlState::count; ++state) m_bitmaps[state].Assign(other.m_bitmaps[state]);
}

void GsTextMargins::write(std::int32_t& field, std::int32_t value) {
    field = value;
    if (m_onChange) m_onChange(*this);
}

void GsTextMargins::Assign(const GsPersistent& source) {
    const GsTextMargins& other = sameClass(source, *this);
    m_left = other.m_left;
    m_right = other.m_right;
    m_top = other.m_top;
    m_bottom = other.m_bottom;
    if (m_onChange) m_onChange(*this);
}

}  // namespace skin
