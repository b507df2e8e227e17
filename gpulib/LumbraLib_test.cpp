#include "gpulib/LumbraLib.h"

#include <gtest/gtest.h>

#include "gpulib/FakeBackends_test.h"

namespace kelvane {
namespace {

TEST(LumbraLibAccess, TriesAgainOnEveryRequestUntilAnInstanceInitialises) {
    testing::LumbraBoard board;
    board.items[7] = {.stepNumber = 4};
    board.initResult = 0;
    LumbraLibAccess lumbra = testing::accessTo(board);
    std::int32_t step = -1;
    EXPECT_FALSE(lumbra.GetItem(7, step));
    EXPECT_EQ(step, -1) << "no holder: the output is left alone";
    EXPECT_FALSE(lumbra.IsItemSupported(7));
    EXPECT_EQ(lumbra.GetLumbraLibDll(), nullptr);
    EXPECT_EQ(board.instancesMade, 3);

    board.initResult = 1;
    LumbraLibDll* holder = lumbra.GetLumbraLibDll();
    ASSERT_NE(holder, nullptr);
    EXPECT_TRUE(lumbra.GetItem(7, step));
    EXPECT_EQ(step, 4);
    EXPECT_TRUE(lumbra.SetItem(7, 5));
    EXPECT_EQ(lumbra.GetLumbraLibDll(), holder);
    EXPECT_EQ(board.instancesMade, 4) << "kept once initialised";
}

TEST(LumbraLibAccess, ReadableItemIsSupportedAndHasAValue) {
    testing::LumbraBoard board;
    board.items[1] = {};
    board.items[2] = {.supported = false};
    board.items[3] = {.readable = false};
    LumbraLibAccess lumbra = testing::accessTo(board);
    EXPECT_TRUE(lumbra.HasReadableItem(1));
    EXPECT_FALSE(lumbra.HasReadableItem(2));
    EXPECT_FALSE(lumbra.HasReadableItem(3));
    EXPECT_FALSE(lumbra.HasReadableItem(4));
}

}  // namespace
}  // namespace kelvane
