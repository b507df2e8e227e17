#include "skin/pixels/Radiation.h"

#include <gtest/gtest.h>

#include <random>

#include "skin/pixels/RadiationReference.h"

namespace skin {
namespace {

TEST(RadiationKernel, RadiusZeroIsOneCellOfTheStrengthAndLeavesCoverageAtStrengthOne) {
    const RadiationKernel scaled = BuildRadiationKernel(0, 0.5f, 0.0f);
    ASSERT_EQ(scaled.weights, std::vector<std::int32_t>{128});
    IntensityMatrix coverage(2, 3);
    const std::int32_t values[] = {0, 1, 77, 128, 254, 255};
    for (int i = 0; i < 6; ++i) coverage.at(i / 3, i % 3) = values[i];
    const IntensityMatrix same = RadiationFilter(coverage, BuildRadiationKernel(0, 1.0f, 0.0f));
    const IntensityMatrix half = RadiationFilter(coverage, scaled);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(same.at(i / 3, i % 3), values[i]);
        EXPECT_EQ(half.at(i / 3, i % 3), values[i] / 2);
    }
}

TEST(RadiationKernel, FullSpreadIncludesTheCircleEdgeAndASmallerOneFadesOutThere) {
    const RadiationKernel full = BuildRadiationKernel(4, 1.0f, 255 / 255.0f);
    EXPECT_EQ(full.size(), 9);
    EXPECT_EQ(full.weight(4, 4), 256);
    EXPECT_EQ(full.weight(0, 4), 256);  // distance exactly r
    EXPECT_EQ(full.weight(4, 8), 256);
    EXPECT_EQ(full.weight(0, 0), 0);  // beyond r
    EXPECT_EQ(full.weight(1, 1), 0);  // distance 4.24

    const RadiationKernel half = BuildRadiationKernel(4, 1.0f, 0.5f);
    EXPECT_EQ(half.weight(0, 4), 0);    // the edge
    EXPECT_EQ(half.weight(2, 4), 256);  // distance 0.5: within the spread
    EXPECT_EQ(half.weight(1, 4), 32);   // distance 0.75: (1 - 0.75)^2 / 0.5 * 256
    EXPECT_EQ(BuildRadiationKernel(4, 1.0f, 0.0f).weight(2, 4), 64);  // (1 - 0.5)^2 * 256
}

TEST(RadiationKernelFactory, CachesPerRadiusAndRebuildsOnlyForADifferentSpreadOrStrength) {
    RadiationKernelFactory factory;
    const auto first = factory.Kernel(3, 3);
    EXPECT_EQ(factory.Kernel(3, 3), first);
    factory.setSpread(0.0f);
    factory.setStrength(1.0f);
    EXPECT_EQ(factory.Kernel(3, 3), first);  // same values: the cache stays

    factory.setStrength(0.5f);
    const auto weaker = factory.Kernel(3, 3);
    EXPECT_NE(weaker, first);
    EXPECT_EQ(weaker->weight(3, 3), 128);
    EXPECT_EQ(first->weight(3, 3), 256);  // a kernel still held outlives the cache that dropped it

    const auto wider = factory.Kernel(5, 5);
    EXPECT_EQ(wider->rowRadius, 5);
    EXPECT_EQ(wider->size(), 11);
    factory.setSpread(0.25f);
    EXPECT_EQ(factory.Kernel(5, 5)->weight(5, 1), 6);  // distance 0.8: (1 - 0.8)^2 / 0.75 * 128
}

TEST(RadiationKernelFactory, BoundsTheRadiusAndReportsANonSquareRequest) {
    RadiationKernelFactory factory;
    EXPECT_EQ(factory.Kernel(kMaxRadiationRadius, kMaxRadiationRadius)->size(), 2 * kMaxRadiationRadius + 1);
    EXPECT_EQ(factory.Kernel(kMaxRadiationRadius + 1, kMaxRadiationRadius + 1)->rowRadius,
              kMaxRadiationRadius);
    EXPECT_EQ(factory.Kernel(INT32_MAX, INT32_MAX)->rowRadius, kMaxRadiationRadius);
    EXPECT_EQ(factory.Kernel(-1, -1)->size(), 1);
    EXPECT_DEATH(factory.Kernel(2, 3),
                 "Assertion failed: r == c, file skin/pixels/Radiation.cpp, line [0-9]+");
}

TEST(RadiationFilter, ADotBecomesAHaloThatFadesOverTheRadius) {
    IntensityMatrix dot(7, 7);
    dot.at(3, 3) = 255;
    const IntensityMatrix halo = RadiationFilter(dot, BuildRadiationKernel(2, 1.0f, 0.0f));
    EXPECT_EQ(halo.at(3, 3), 255);
    EXPECT_EQ(halo.at(3, 2), 63);  // weight 64 at distance 1 of 2
    EXPECT_EQ(halo.at(3, 1), 0);   // the edge
    EXPECT_EQ(halo.at(2, 2), 20);  // weight (1 - 0.7071)^2 * 256 = 21 at distance 0.707
    EXPECT_EQ(halo.at(0, 0), 0);
}

TEST(RadiationFilter, MatchesTheDirectFilterOnRandomCoveragesForRadiiUpTo12) {
    std::mt19937 random(20261208);
    for (int radius = 0; radius <= 12; ++radius) {
        for (int round = 0; round < 3; ++round) {
            const int rows = std::uniform_int_distribution(1, 30)(random);
            const int columns = std::uniform_int_distribution(1, 40)(random);
            const int zeroPercent = std::uniform_int_distribution(0, 95)(random);
            IntensityMatrix coverage(rows, columns);
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < columns; ++x)
                    coverage.at(y, x) = std::uniform_int_distribution(0, 99)(random) < zeroPercent
                                            ? 0
                                            : std::uniform_int_distribution(1, 255)(random);
            const float strength = static_cast<float>(std::uniform_int_distribution(0, 255)(random)) / 255.0f;
            const float spread = static_cast<float>(std::uniform_int_distribution(0, 255)(random)) / 255.0f;
            const RadiationKernel kernel = BuildRadiationKernel(radius, strength, spread);
            const IntensityMatrix fast = RadiationFilter(coverage, kernel);
            const IntensityMatrix direct = ReferenceRadiationFilter(coverage, kernel);
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < columns; ++x)
                    ASSERT_EQ(fast.at(y, x), direct.at(y, x))
                        << "r " << radius << " cell " << y << "," << x << " strength " << strength
                        << " spread " << spread;
        }
    }
}

}  // namespace
}  // namespace skin
