#include "skin/props/Appearance.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace skin {
namespace {

TEST(GsButtonAppearance, ImageForFallsBackThroughHoveredToRaisedAndStopsThere) {
    struct Case {
        std::vector<int> loaded;
        int state, resolved;
    };
    const Case cases[] = {
        {{0, 1, 2, 3, 4, 5}, 5, 5},
        {{0, 2, 4}, 5, 2},
        {{0, 4}, 5, 0},
        {{0, 2}, 1, 2},
        {{0, 2}, 4, 2},
        {{0}, 3, 0},
        {{0, 1}, 7, 0},
        {{0, 1}, -1, 0},
        {{0, 1}, 6, 0},
        {{1, 2}, 0, 0},
        {{}, 5, 0},  // Raised itself empty: the empty Raised with state 0
    };
    for (const Case& c : cases) {
        const Bitmap face(4, 3, PixelFormat::Bits32);
        GsButtonAppearance set;
        const std::function<void(const Bitmap&)> writers[] = {
            [&](const Bitmap& b) { set.setRaised(b); },  [&](const Bitmap& b) { set.setSunken(b); },
            [&](const Bitmap& b) { set.setHovered(b); }, [&](const Bitmap& b) { set.setDisabled(b); },
            [&](const Bitmap& b) { set.setFocused(b); }, [&](const Bitmap& b) { set.setActive(b); },
        };
        for (int state : c.loaded) writers[state](face);
        const auto [image, resolved] = set.ImageFor(c.state);
        EXPECT_EQ(resolved, c.resolved) << "state " << c.state;
        Bitmap* const byState[] = {&set.Raised(),   &set.Sunken(),  &set.Hovered(),
                                   &set.Disabled(), &set.Focused(), &set.Active()};
        EXPECT_EQ(image, byState[c.resolved]);
    }
}

TEST(GsButtonAppearance, EveryChangeOfAFaceRaisesItsIndexAndWritesCopy) {
    std::vector<int> indices;
    GsButtonAppearance set([&](GsPersistent& sender, int state) {
        EXPECT_EQ(&sender, &set);
        indices.push_back(state);
    });
    Bitmap face(5, 2, PixelFormat::Bits32);
    face.row(1)[4] = 77;
    set.setActive(face);
    EXPECT_EQ(indices, (std::vector<int>{5, 5}));  // the copy, then the write

    indices.clear();
    set.Hovered().SetSize(8, 8);  // a load straight into the bitmap
    set.Raised().Assign(face);
    EXPECT_EQ(indices, (std::vector<int>{2, 0}));

    indices.clear();
    set.setRaised(face);
    face.row(1)[4] = 1;  // the caller's bitmap stays the caller's
    EXPECT_EQ(set.Raised().row(1)[4], 77);
    EXPECT_NE(&set.Raised(), &face);

    GsButtonAppearance copy;
    copy.Assign(set);
    EXPECT_EQ(copy.Hovered().width(), 8);
    EXPECT_EQ(copy.Active().row(1)[4], 77);
    EXPECT_THROW(copy.Assign(GsTextMargins()), InvalidCast);
}

TEST(GsTextMargins, RaisesOnEveryWriteAlsoOfAnUnchangedValue) {
    int changes = 0;
    GsTextMargins margins([&](GsPersistent&) { ++changes; });
    margins.setLeft(0);
    margins.setRight(3);
    margins.setTop(-2);
    margins.setBottom(4);
    EXPECT_EQ(changes, 4);
    GsTextMargins copy([&](GsPersistent&) { ++changes; });
    copy.Assign(margins);
    EXPECT_EQ(changes, 5);
    EXPECT_EQ(copy.Right(), 3);
    EXPECT_EQ(copy.Top(), -2);
    EXPECT_EQ(copy.Bottom(), 4);
    EXPECT_THROW(copy.Assign(GsButtonAppearance()), InvalidCast);
}

}  // namespace
}  // namespace skin
