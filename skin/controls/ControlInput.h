#pragma once
// What a skinned control makes of the mouse and the keyboard: hover, press and key state, and the
// face state a button shows for them. Portable; the window classes feed it their messages.

#include <cstdint>

namespace skin {

enum class MouseButton { Left, Right, Middle };

// What the control does after an input event, in this order: arm pointer tracking, repaint at once,
// raise OnMouseEnter or OnMouseLeave.
struct InputReaction {
    bool armTracking = false;
    bool paint = false;
    bool raiseEnter = false;
    bool raiseLeave = false;
    friend bool operator==(const InputReaction&, const InputReaction&) = default;
};

class ControlInput {
  public:
    static constexpr unsigned kSpace = 32;
    static constexpr unsigned kEnter = 13;

    bool hovered() const { return m_hovered; }
    bool keyPressed() const { return m_keyPressed; }
    bool mousePressed() const { return m_mousePressed; }

    InputReaction mouseDown(MouseButton button);
    InputReaction mouseUp(MouseButton button);
    // The pointer moved to a point inside the control or outside it (the control has the capture).
    InputReaction mouseMove(bool inside);
    // The pointer left the window (the tracking's notice).
    InputReaction mouseLeave();
    InputReaction keyDown(unsigned key);
    InputReaction keyUp(unsigned key);
    // Another window took the mouse: a press can no longer end on the control.
    void captureLost() { m_mousePressed = false; }

  private:
    bool m_hovered = false;
    bool m_keyPressed = false;
    bool m_mousePressed = false;
};

// The button that a hover notice's key flags (MK_LBUTTON 1, MK_RBUTTON 2, MK_MBUTTON 0x10) say is
// held, left before right before middle; false when none is.
bool heldButton(std::uint32_t keyFlags, MouseButton& button);

// The face a button shows (0 raised, 1 sunken, 2 hovered, 3 disabled, 4 focused, 5 active): disabled
// first, then focus (hovered or not) before any press, so a focused button never shows sunken.
int buttonFaceState(bool enabled, bool focused, const ControlInput& input);

// Where a caption sits in its rectangle.
enum class TextAlignment { Left = 0, Right = 1, Center = 2 };
enum class TextLayout { Top = 0, Center = 1, Bottom = 2 };

// DrawText's flags for a caption: a single line is always centred vertically, whatever the layout.
unsigned captionFormat(TextAlignment alignment, TextLayout layout, bool wordWrap);
// How far a wrapped caption of the measured height moves down in a rectangle of the given height,
// since DrawText places wrapped text only at the top.
int wrappedCaptionShift(TextLayout layout, bool wordWrap, int measuredHeight, int rectHeight);

}  // namespace skin
