#include "skin/props/TextEffects.h"

#include <gtest/gtest.h>

#include <functional>

#include "skin/props/Appearance.h"

namespace skin {
namespace {

TEST(GsTextRadiationEffect, RaisesItsChangeEventOnlyForADifferingValue) {
    int changes = 0;
    GsTextRadiationEffect effect([&](GsPersistent& sender) {
        EXPECT_EQ(&sender, &effect);
        ++changes;
    });
    EXPECT_EQ(effect.Opacity(), 255);
    EXPECT_EQ(effect.Radius(), 0u);
    EXPECT_EQ(effect.Color(), RGB(255, 255, 191));
    struct Write {
        const char* property;
        std::function<void(std::int32_t)> write;
        std::int32_t current, other;
    };
    const Write writes[] = {
        {"Opacity", [&](std::int32_t v) { effect.setOpacity(static_cast<std::uint8_t>(v)); }, 255, 100},
        {"Radius", [&](std::int32_t v) { effect.setRadius(static_cast<std::uint32_t>(v)); }, 0, 4},
        {"Spread", [&](std::int32_t v) { effect.setSpread(static_cast<std::uint8_t>(v)); }, 0, 255},
        {"Color", [&](std::int32_t v) { effect.setColor(static_cast<COLORREF>(v)); }, RGB(255, 255, 191),
         0xFF0000},
        {"RadiationX", [&](std::int32_t v) { effect.setRadiationX(v); }, 0, -3},
        {"RadiationY", [&](std::int32_t v) { effect.setRadiationY(v); }, 0, 3},
        {"OffsetX", [&](std::int32_t v) { effect.setOffsetX(v); }, 0, 1},
        {"OffsetY", [&](std::int32_t v) { effect.setOffsetY(v); }, 0, 1},
    };
    for (const Write& w : writes) {
        changes = 0;
        w.write(w.current);
        EXPECT_EQ(changes, 0) << w.property;
        w.write(w.other);
        w.write(w.other);
        EXPECT_EQ(changes, 1) << w.property;
    }
    EXPECT_EQ(effect.Radius(), 4u);
    EXPECT_EQ(effect.glowPainter().radius(), 4);
    EXPECT_EQ(effect.glowPainter().radiationX(), -3);

    changes = 0;
    effect.setFont(effect.font());  // its own font object: nothing
    Font bigger = effect.font();
    effect.setFont(bigger);  // another object, even with the same attributes
    EXPECT_EQ(changes, 1);
}

TEST(GsTextRadiationEffect, RadiusIsBoundedAtTheLargestHalo) {
    int changes = 0;
    GsTextRadiationEffect effect([&](GsPersistent&) { ++changes; });
    effect.setRadius(kMaxRadiationRadius - 1);
    EXPECT_EQ(effect.Radius(), static_cast<std::uint32_t>(kMaxRadiationRadius - 1));
    effect.setRadius(kMaxRadiationRadius);
    effect.setRadius(kMaxRadiationRadius + 1);  // bounded: the same value, no event
    effect.setRadius(0xFFFFFFFFu);              // 2r + 1 would overflow a signed radius
    EXPECT_EQ(effect.Radius(), static_cast<std::uint32_t>(kMaxRadiationRadius));
    EXPECT_EQ(effect.glowPainter().radius(), kMaxRadiationRadius);
    EXPECT_EQ(changes, 2);
}

TEST(GsTextRadiationEffect, AssignCopiesEverythingOnceAndRefusesAnotherClass) {
    GsTextRadiationEffect source;
    source.setOpacity(10);
    source.setRadius(3);
    source.setSpread(20);
    source.setColor(RGB(1, 2, 3));
    source.setRadiationX(4);
    source.setRadiationY(5);
    source.setOffsetX(6);
    source.setOffsetY(7);
    source.font().name = L"Courier New";
    int changes = 0;
    GsTextRadiationEffect target([&](GsPersistent&) { ++changes; });
    target.Assign(source);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(target.Opacity(), 10);
    EXPECT_EQ(target.Radius(), 3u);
    EXPECT_EQ(target.Spread(), 20);
    EXPECT_EQ(target.Color(), RGB(1, 2, 3));
    EXPECT_EQ(target.RadiationX(), 4);
    EXPECT_EQ(target.RadiationY(), 5);
    EXPECT_EQ(target.OffsetX(), 6);
    EXPECT_EQ(target.OffsetY(), 7);
    EXPECT_TRUE(target.font() == source.font());
    EXPECT_THROW(target.Assign(GsTextMargins()), InvalidCast);
    EXPECT_THROW(GsButtonOuterGlowTextEffect().Assign(target), InvalidCast);
}

struct ButtonEffects : ::testing::Test {
    ButtonEffects() {
        set.setOnChange([this](GsPersistent& sender) {
            EXPECT_EQ(&sender, &set);
            ++changes;
        });
        set.Raised().setRadius(5);
        set.Raised().setOpacity(100);
        set.Raised().setOffsetX(9);
        set.Raised().font().name = L"Courier New";
        set.Raised().font().color = RGB(10, 20, 30);
        changes = 0;
    }
    GsButtonOuterGlowTextEffect set;
    int changes = 0;
};

TEST_F(ButtonEffects, StatesAreMadeOnFirstReadFromRaisedAsEachStateWants) {
    const GsTextRadiationEffect& sunken = set.Sunken();
    EXPECT_EQ(sunken.OffsetX(), 2);
    EXPECT_EQ(sunken.OffsetY(), 2);
    EXPECT_EQ(sunken.Opacity(), 255);
    EXPECT_EQ(sunken.Radius(), 0u);
    EXPECT_TRUE(sunken.font() == set.Raised().font());

    for (GsTextRadiationEffect* copy : {&set.Hovered(), &set.Focused(), &set.Active()}) {
        EXPECT_EQ(copy->Radius(), 5u);
        EXPECT_EQ(copy->OffsetX(), 9);
        EXPECT_TRUE(copy->font() == set.Raised().font());
    }
    GsTextRadiationEffect& disabled = set.Disabled();
    EXPECT_EQ(disabled.Opacity(), 100);
    EXPECT_EQ(disabled.font().name, L"Courier New");
    EXPECT_EQ(disabled.font().color, ::GetSysColor(COLOR_GRAYTEXT));
    EXPECT_EQ(changes, 0);  // reading tells nobody

    set.Raised().setRadius(7);
    EXPECT_EQ(disabled.Radius(), 5u);  // made once, not following Raised
    EXPECT_EQ(&set.Disabled(), &disabled);
    set.Hovered().setSpread(3);
    EXPECT_EQ(changes, 2);  // each effect's change is the set's
}

TEST_F(ButtonEffects, WritesAssignIntoTheSetsOwnEffectsAndPaintersFollowTheState) {
    GsTextRadiationEffect& raised = set.Raised();
    GsTextRadiationEffect given;
    given.setRadius(2);
    set.setRaised(given);
    EXPECT_EQ(&set.Raised(), &raised);  // kept, assigned: the set still owns exactly what it frees
    EXPECT_EQ(raised.Radius(), 2u);
    EXPECT_EQ(changes, 1);
    set.setRaised(set.Raised());
    set.setActive(set.Active());
    EXPECT_EQ(changes, 1);

    EXPECT_EQ(&set.PainterFor(0), &set.Raised().Painter());
    EXPECT_EQ(&set.PainterFor(1), &set.Sunken().Painter());
    EXPECT_EQ(&set.PainterFor(5), &set.Active().Painter());
    EXPECT_EQ(&set.PainterFor(6), &set.Raised().Painter());
    EXPECT_EQ(&set.PainterFor(-1), &set.Raised().Painter());

    GsButtonOuterGlowTextEffect copy;
    copy.Assign(set);
    EXPECT_EQ(copy.Raised().Radius(), 2u);
    EXPECT_EQ(copy.Sunken().OffsetY(), 2);
    EXPECT_EQ(copy.Disabled().font().color, ::GetSysColor(COLOR_GRAYTEXT));
}

TEST(EffectTextPainter, DrawsInTheEffectsFontMovedByItsOffsetsAndCutAtTheRectangle) {
    GsTextRadiationEffect effect;
    effect.font().name = L"Tahoma";
    effect.font().height = -20;
    effect.font().color = RGB(0, 0, 0);
    const auto drawn = [&](int offsetX, int offsetY) {
        effect.setOffsetX(offsetX);
        effect.setOffsetY(offsetY);
        Bitmap bitmap(100, 40, PixelFormat::Bits24);
        bitmap.canvas().setBrushColor(RGB(255, 255, 255));
        bitmap.canvas().FillRect({0, 0, 100, 40});
        effect.Painter().DrawOnBitmap(bitmap, std::string_view("Wide"), {0, 0, 60, 30}, DT_SINGLELINE, false);
        RECT ink{100, 40, 0, 0};
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 100; ++x)
                if (bitmap.row(y)[x * 3] < 128) {
                    ink.left = std::min<LONG>(ink.left, x), ink.top = std::min<LONG>(ink.top, y);
                    ink.right = std::max<LONG>(ink.right, x + 1),
                    ink.bottom = std::max<LONG>(ink.bottom, y + 1);
                }
        return ink;
    };
    const RECT still = drawn(0, 0), moved = drawn(2, 2), cut = drawn(50, 0);
    ASSERT_LT(still.left, still.right);
    EXPECT_EQ(moved.left, still.left + 2);
    EXPECT_EQ(moved.top, still.top + 2);
    EXPECT_EQ(cut.left, still.left + 50);
    EXPECT_LE(cut.right, 60);  // nothing outside the rectangle

    Bitmap measuring;
    RECT extent{0, 0, 0, 0};
    effect.Painter().MeasureText(measuring.canvas(), std::wstring_view(L"Wide"), extent, DT_SINGLELINE);
    EXPECT_TRUE(measuring.canvas().font() == effect.font());
    EXPECT_GT(extent.right, 0);
}

}  // namespace
}  // namespace skin
