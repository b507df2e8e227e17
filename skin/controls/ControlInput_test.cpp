#include "skin/controls/ControlInput.h"

#include <gtest/gtest.h>

#include <vector>

namespace skin {
namespace {

// One pointer and keyboard story through a control: what each step makes it do and the face a
// button shows afterwards, unfocused (and focused, where focus is what the step is about).
TEST(ControlInput, FollowsThePointerAndTheKeysAndGivesTheFaceOfEachStep) {
    const InputReaction none{}, paint{.paint = true};
    const InputReaction enter{.armTracking = true, .paint = true, .raiseEnter = true};
    const InputReaction leave{.paint = true, .raiseLeave = true};
    struct Step {
        const char* what;
        InputReaction (*act)(ControlInput&);
        InputReaction reaction;
        int face;
        int focusedFace;
    };
    const std::vector<Step> steps = {
        {"pointer moves in", [](ControlInput& c) { return c.mouseMove(true); }, enter, 2, 5},
        {"moves within", [](ControlInput& c) { return c.mouseMove(true); }, none, 2, 5},
        {"right press", [](ControlInput& c) { return c.mouseDown(MouseButton::Right); }, none, 2, 5},
        {"left press inside", [](ControlInput& c) { return c.mouseDown(MouseButton::Left); }, paint, 1, 5},
        {"second press notice", [](ControlInput& c) { return c.mouseDown(MouseButton::Left); }, none, 1, 5},
        {"dragged out, still pressed", [](ControlInput& c) { return c.mouseMove(false); }, paint, 0, 4},
        {"dragged back in", [](ControlInput& c) { return c.mouseMove(true); }, enter, 1, 5},
        {"released", [](ControlInput& c) { return c.mouseUp(MouseButton::Left); }, paint, 2, 5},
        {"released again", [](ControlInput& c) { return c.mouseUp(MouseButton::Left); }, none, 2, 5},
        {"Space down", [](ControlInput& c) { return c.keyDown(ControlInput::kSpace); }, paint, 1, 5},
        {"Enter down while Space is held", [](ControlInput& c) { return c.keyDown(ControlInput::kEnter); },
         none, 1, 5},
        {"other key up", [](ControlInput& c) { return c.keyUp('A'); }, none, 1, 5},
        {"pointer leaves the window", [](ControlInput& c) { return c.mouseLeave(); }, leave, 1, 4},
        {"Enter up", [](ControlInput& c) { return c.keyUp(ControlInput::kEnter); }, paint, 0, 4},
        {"other key down", [](ControlInput& c) { return c.keyDown('A'); }, none, 0, 4},
    };
    ControlInput input;
    for (const Step& s : steps) {
        EXPECT_EQ(s.act(input), s.reaction) << s.what;
        EXPECT_EQ(buttonFaceState(true, false, input), s.face) << s.what;
        EXPECT_EQ(buttonFaceState(true, true, input), s.focusedFace) << s.what;
        EXPECT_EQ(buttonFaceState(false, true, input), 3) << s.what << ": disabled wins over all";
    }
}

TEST(ControlInput, LostCaptureEndsThePressWhereverThePointerIs) {
    ControlInput input;
    input.mouseMove(true);
    input.mouseDown(MouseButton::Left);
    input.captureLost();
    EXPECT_FALSE(input.mousePressed());
    EXPECT_EQ(buttonFaceState(true, false, input), 2);
    EXPECT_EQ(input.mouseUp(MouseButton::Left), InputReaction{}) << "nothing left to release";
}

TEST(HeldButton, LeftBeforeRightBeforeMiddleAndNoneWithoutAButton) {
    struct Case {
        std::uint32_t flags;
        bool held;
        MouseButton button;
    };
    // MK_LBUTTON 1, MK_RBUTTON 2, MK_SHIFT 4, MK_CONTROL 8, MK_MBUTTON 0x10
    for (const Case& c : {Case{0x13, true, MouseButton::Left}, Case{0x12, true, MouseButton::Right},
                          Case{0x1C, true, MouseButton::Middle}, Case{0x0C, false, MouseButton::Left}}) {
        MouseButton button = MouseButton::Left;
        EXPECT_EQ(heldButton(c.flags, button), c.held) << c.flags;
        if (c.held) {
            EXPECT_EQ(button, c.button) << c.flags;
        }
    }
}

TEST(Caption, FormatAndShiftOfEveryAlignmentLayoutAndWrap) {
    struct Case {
        TextAlignment alignment;
        TextLayout layout;
        bool wrap;
        unsigned format;
        int shift;  // of a 20-pixel-high text in a 51-pixel-high rectangle
    };
    // DT_CENTER 1, DT_RIGHT 2, DT_VCENTER 4, DT_BOTTOM 8, DT_WORDBREAK 0x10, DT_SINGLELINE 0x20
    const Case cases[] = {
        {TextAlignment::Left, TextLayout::Top, false, 0x24, 0},
        {TextAlignment::Right, TextLayout::Center, false, 0x26, 0},
        {TextAlignment::Center, TextLayout::Bottom, false, 0x2D, 0},  // single lines stay centred
        {TextAlignment::Left, TextLayout::Top, true, 0x10, 0},
        {TextAlignment::Center, TextLayout::Center, true, 0x15, 15},  // (51 - 20) / 2, rounded down
        {TextAlignment::Right, TextLayout::Bottom, true, 0x1A, 31},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(captionFormat(c.alignment, c.layout, c.wrap), c.format);
        EXPECT_EQ(wrappedCaptionShift(c.layout, c.wrap, 20, 51), c.shift);
    }
    EXPECT_EQ(wrappedCaptionShift(TextLayout::Bottom, true, 51, 51), 0) << "a text as high as the rectangle";
    EXPECT_EQ(wrappedCaptionShift(TextLayout::Bottom, true, 60, 51), 0) << "a text higher than it";
}

}  // namespace
}  // namespace skin
