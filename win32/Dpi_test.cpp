// The display scale as a window message brings it: a sender in another process may put anything in
// the wParam, and every size of the window that takes it follows.

#include "win32/Dpi.h"

#include <gtest/gtest.h>

namespace win32 {
namespace {

TEST(DpiOfChange, TakesTheLowWordHeldBetween100And1000Percent) {
    struct Case {
        WPARAM wParam;
        int dpi;
    };
    const Case cases[] = {
        {MAKEWPARAM(144, 144), 144}, {MAKEWPARAM(120, 96), 120},   {MAKEWPARAM(96, 96), 96},
        {MAKEWPARAM(95, 95), 96},    {MAKEWPARAM(0, 0), 96},       {MAKEWPARAM(960, 960), 960},
        {MAKEWPARAM(961, 961), 960}, {MAKEWPARAM(0xFFFF, 0), 960}, {static_cast<WPARAM>(-1), 960},
    };
    for (const Case& c : cases) EXPECT_EQ(dpiOfChange(c.wParam), c.dpi) << std::hex << c.wParam;
}

}  // namespace
}  // namespace win32
