#include "skin/pixels/Radiation.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "support/Assertion.h"

namespace skin {
namespace {

std::int32_t truncateWeight(double value) {
    if (std::isnan(value)) return 0;
    return static_cast<std::int32_t>(
        std::clamp(value, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX)));
}

int boundRadius(int radius) { return std::clamp(radius, 0, kMaxRadiationRadius); }

// The larger of 0 and the largest value of the (2r + 1)-square window around each cell, in two
// one-dimensional passes. A cell whose window holds nothing above 0 stays 0 whatever the weights.
IntensityMatrix windowMaximum(const IntensityMatrix& in, int radius) {
    const int rows = in.rows(), columns = in.columns();
    IntensityMatrix across(rows, columns), both(rows, columns);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            std::int32_t m = 0;
            for (int xx = std::max(x - radius, 0); xx <= std::min(x + radius, columns - 1); ++xx)
                m = std::max(m, in.at(y, xx));
            across.at(y, x) = m;
        }
    }
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            std::int32_t m = 0;
            for (int yy = std::max(y - radius, 0); yy <= std::min(y + radius, rows - 1); ++yy)
                m = std::max(m, across.at(yy, x));
            both.at(y, x) = m;
        }
    }
    return both;
}

}  // namespace

void RadiationKernelFactory::setSpread(float spread) {
    if (spread == m_spread) return;
    m_spread = spread;
    m_cached.reset();
}

void RadiationKernelFactory::setStrength(float strength) {
    if (strength == m_strength) return;
    m_strength = strength;
    m_cached.reset();
}

std::shared_ptr<const RadiationKernel> RadiationKernelFactory::Kernel(int rowRadius, int columnRadius) {
    KV_VERIFY_AS(rowRadius == columnRadius, "r == c");
    const int radius = boundRadius(rowRadius);
    if (!m_cached || m_cached->rowRadius != radius)
        m_cached =
            std::make_shared<const RadiationKernel>(BuildRadiationKernel(radius, m_strength, m_spread));
    return m_cached;
}

RadiationKernel BuildRadiationKernel(int radius, float strength, float spread) {
    RadiationKernel kernel;
    kernel.rowRadius = kernel.columnRadius = boundRadius(radius);
    const int r = kernel.rowRadius;
    const int n = kernel.size();
    const double full = 256.0 * strength;
    kernel.weights.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            double weight = full;  // the centre of a 1 x 1 kernel, and every cell within the spread
            if (r > 0) {
                const double distance =
                    std::sqrt(static_cast<double>((i - r) * (i - r) + (j - r) * (j - r))) / r;
                if (distance > spread)
                    weight =
                        distance >= 1.0 ? 0.0 : (1.0 - distance) * (1.0 - distance) / (1.0 - spread) * full;
            }
            kernel.weights[static_cast<std::size_t>(i) * n + j] = truncateWeight(weight);
        }
    }
    return kernel;
}

// Heaviest weights are tried first, so each cell stops as soon as no remaining weight times the
// window's largest value can beat what it has; cells whose window is all 0 are skipped outright.
IntensityMatrix RadiationFilter(const IntensityMatrix& coverage, const RadiationKernel& kernel) {
    const int r = kernel.rowRadius;
    const int rows = coverage.rows(), columns = coverage.columns();
    IntensityMatrix out(rows, columns);

    struct Tap {
        int dy;
        int dx;
        std::int64_t weight;
    };
    std::vector<Tap> taps;
    for (int i = 0; i < kernel.size(); ++i)
        for (int j = 0; j < kernel.size(); ++j)
            if (kernel.weight(i, j) > 0) taps.push_back({i - r, j - r, kernel.weight(i, j)});
    if (taps.empty() || rows == 0 || columns == 0) return out;
    std::stable_sort(taps.begin(), taps.end(),
                     [](const Tap& a, const Tap& b) { return a.weight > b.weight; });

    // With one cell the window is the cell itself.
    const IntensityMatrix window = r > 0 ? windowMaximum(coverage, r) : IntensityMatrix();
    const IntensityMatrix& reach = r > 0 ? window : coverage;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const std::int64_t bound = reach.at(y, x);
            if (bound <= 0) continue;
            std::int64_t best = 0;
            for (const Tap& tap : taps) {
                if (tap.weight * bound <= best) break;
                const int yy = y + tap.dy, xx = x + tap.dx;
                if (yy < 0 || yy >= rows || xx < 0 || xx >= columns) continue;
                best = std::max(best, coverage.at(yy, xx) * tap.weight);
            }
            out.at(y, x) =
                static_cast<std::int32_t>(std::min<std::int64_t>(best / kernel.divisor, INT32_MAX));
        }
    }
    return out;
}

}  // namespace skin
