#pragma once
// The halo around glyphs: a weighted grey-scale dilation of the text's coverage. Each output cell is
// the largest in[y + dy][x + dx] * weight[dy + r][dx + r] over the kernel, divided by 256, so the
// halo reaches r pixels past the glyphs and fades with distance.

#include <cstdint>
#include <memory>
#include <vector>

#include "skin/pixels/Layer.h"

namespace skin {

// Radii are bounded here: the painters and the text effects take unsigned and signed 32-bit values,
// and 2r + 1 cells per side must neither overflow nor exhaust memory. A halo wider than this is
// wider than any control it could be drawn on.
constexpr int kMaxRadiationRadius = 255;

struct RadiationKernel {
    int rowRadius = 0;
    int columnRadius = 0;
    std::int32_t divisor = 256;
    std::vector<std::int32_t> weights;  // (2r + 1) x (2r + 1), centre at [r][r]

    int size() const { return 2 * rowRadius + 1; }
    std::int32_t weight(int row, int column) const {
        return weights[static_cast<std::size_t>(row) * static_cast<std::size_t>(size()) + column];
    }
};

// Builds kernels and keeps the last one: painting the same caption again costs no rebuild. A kernel
// is handed out shared; dropping it releases it, which frees it unless it is still the cached one.
class RadiationKernelFactory {
  public:
    float spread() const { return m_spread; }
    float strength() const { return m_strength; }
    // Fraction of the radius inside which weights are full. A different value drops the cache.
    void setSpread(float spread);
    // Overall weight factor. A different value drops the cache.
    void setStrength(float strength);

    // A square kernel (rowRadius == columnRadius, else an assertion report), radius bounded to
    // 0..kMaxRadiationRadius. The cache is kept per radius: another radius gets its own kernel.
    std::shared_ptr<const RadiationKernel> Kernel(int rowRadius, int columnRadius);

  private:
    float m_spread = 0.0f;
    float m_strength = 1.0f;
    std::shared_ptr<const RadiationKernel> m_cached;
};

RadiationKernel BuildRadiationKernel(int radius, float strength, float spread);

// Cells outside the matrix do not take part; a cell that nothing lifts above 0 is 0.
IntensityMatrix RadiationFilter(const IntensityMatrix& coverage, const RadiationKernel& kernel);

}  // namespace skin
