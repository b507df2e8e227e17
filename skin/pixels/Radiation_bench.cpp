// The halo filter against the direct one on the coverage of a 256 x 64 caption, at the radii the
// skins use and beyond. Run through scripts/bench-radiation (an optimised build without sanitizers).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "skin/pixels/Radiation.h"
#include "skin/pixels/RadiationReference.h"

namespace {

// Glyph-like coverage: strokes 2 pixels wide with anti-aliased edges in 16 x 20 cells over a 64-pixel
// band, about a quarter of the cells covered, like a line of caption text.
skin::IntensityMatrix captionCoverage() {
    skin::IntensityMatrix coverage(64, 256);
    for (int y = 22; y < 42; ++y) {
        for (int x = 8; x < 248; ++x) {
            const int cx = (x - 8) % 16, cy = y - 22, letter = (x - 8) / 16;
            const bool stem = cx == 2 || cx == 3 || (letter % 3 == 0 && (cx == 10 || cx == 11));
            const bool bar =
                (cy == 0 || cy == 1 || cy == 10 || cy == 19) && cx >= 2 && cx <= 11 && letter % 2 == 0;
            const bool diagonal = letter % 4 == 1 && std::abs(cx - 2 - cy / 2) <= 1;
            const bool edge = cx == 1 || cx == 4 || cx == 12;
            coverage.at(y, x) = stem || bar || diagonal ? 255 : edge ? 96 : 0;
        }
    }
    return coverage;
}

template <skin::IntensityMatrix (*Filter)(const skin::IntensityMatrix&, const skin::RadiationKernel&)>
void radiate(benchmark::State& state) {
    const skin::IntensityMatrix coverage = captionCoverage();
    const skin::RadiationKernel kernel =
        skin::BuildRadiationKernel(static_cast<int>(state.range(0)), 1.0f, 0.0f);
    for (auto _ : state) benchmark::DoNotOptimize(Filter(coverage, kernel));
    state.SetItemsProcessed(state.iterations() * coverage.rows() * coverage.columns());
}

double fastest(const std::vector<double>& runs) { return *std::min_element(runs.begin(), runs.end()); }

BENCHMARK(radiate<skin::RadiationFilter>)
    ->Name("RadiationFilter")
    ->Arg(0)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->ComputeStatistics("min", fastest);
BENCHMARK(radiate<skin::ReferenceRadiationFilter>)
    ->Name("ReferenceRadiationFilter")
    ->Arg(0)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->ComputeStatistics("min", fastest);

}  // namespace

BENCHMARK_MAIN();
