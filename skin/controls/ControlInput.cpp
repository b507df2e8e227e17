#include "skin/controls/ControlInput.h"

namespace skin {

namespace {
// DrawText's flags, as the platform numbers them.
constexpr unsigned kLeft = 0, kCenter = 1, kRight = 2, kVCenter = 4, kBottom = 8, kWordBreak = 0x10,
                   kSingleLine = 0x20;
// The key flags of a mouse message.
constexpr std::uint32_t kLeftHeld = 1, kRightHeld = 2, kMiddleHeld = 0x10;
}  // namespace

InputReaction ControlInput::mouseDown(MouseButton button) {
    if (button != MouseButton::Left || m_mousePressed) return {};
    m_mousePressed = true;
    return {.paint = true};
}

InputReaction ControlInput::mouseUp(MouseButton button) {
    if (button != MouseButton::Left || !m_mousePressed) return {};
    m_mousePressed = false;
    return {.paint = true};
}

InputReaction ControlInput::mouseMove(bool inside) {
    if (inside && !m_hovered) {
        m_hovered = true;
        return {.armTracking = true, .paint = true, .raiseEnter = true};
    }
    if (!inside && m_hovered) {
        m_hovered = false;  // OnMouseLeave waits for the tracking's notice
        return {.paint = true};
    }
    return {};
}

InputReaction ControlInput::mouseLeave() {
    m_hovered = false;
    return {.paint = true, .raiseLeave = true};
}

InputReaction ControlInput::keyDown(unsigned key) {
    if ((key != kSpace && key != kEnter) || m_keyPressed) return {};
    m_keyPressed = true;
    return {.paint = true};
}

InputReaction ControlInput::keyUp(unsigned key) {
    if ((key != kSpace && key != kEnter) || !m_keyPressed) return {};
    m_keyPressed = false;
    return {.paint = true};
}

bool heldButton(std::uint32_t keyFlags, MouseButton& button) {
    if (keyFlags & kLeftHeld)
        button = MouseButton::Left;
    else if (keyFlags & kRightHeld)
        button = MouseButton::Right;
    else if (keyFlags & kMiddleHeld)
        button = MouseButton::Middle;
    else
        return false;
    return true;
}

int buttonFaceState(bool enabled, bool focused, const ControlInput& input) {
    if (!enabled) return 3;
    if (focused) return input.hovered() ? 5 : 4;
    if (input.keyPressed()) return 1;
    if (input.hovered()) return input.mousePressed() ? 1 : 2;
    return 0;
}

unsigned captionFormat(TextAlignment alignment, TextLayout layout, bool wordWrap) {
    unsigned format = alignment == TextAlignment::Left    ? kLeft
                      : alignment == TextAlignment::Right ? kRight
                                                          : kCenter;
    if (layout == TextLayout::Center) format |= kVCenter;
    if (layout == TextLayout::Bottom) format |= kBottom;
    return format | (wordWrap ? kWordBreak : kSingleLine | kVCenter);
}

int wrappedCaptionShift(TextLayout layout, bool wordWrap, int measuredHeight, int rectHeight) {
    if (!wordWrap || layout == TextLayout::Top || measuredHeight >= rectHeight) return 0;
    const int spare = rectHeight - measuredHeight;
    return layout == TextLayout::Center ? spare / 2 : spare;
}

}  // namespace skin
