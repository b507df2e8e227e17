#include "mainboard/tools/common/Stats.h"

#include <gtest/gtest.h>

namespace simboard {
namespace {

TEST(Summarize, NearestRankOnUnsortedInput) {
    std::vector<double> v;
    for (int i = 100; i >= 1; --i) v.push_back(i);
    const Summary s = summarize(v);
    EXPECT_EQ(s.count, 100u);
    EXPECT_EQ(s.median, 50);
    EXPECT_EQ(s.p99, 99);
    EXPECT_DOUBLE_EQ(s.mean, 50.5);
    EXPECT_EQ(s.max, 100) << "the first value given";
}

TEST(Summarize, SmallAndEmptySets) {
    EXPECT_EQ(summarize({}).count, 0u);
    const Summary one = summarize({7});
    EXPECT_EQ(one.median, 7);
    EXPECT_EQ(one.p99, 7);
    EXPECT_EQ(summarize({1, 1000}).p99, 1000) << "the slow one is not rounded away";
}

}  // namespace
}  // namespace simboard
