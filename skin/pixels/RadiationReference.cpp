#include "skin/pixels/RadiationReference.h"

#include <algorithm>

namespace skin {

IntensityMatrix ReferenceRadiationFilter(const IntensityMatrix& coverage, const RadiationKernel& kernel) {
    const int r = kernel.rowRadius;
    IntensityMatrix out(coverage.rows(), coverage.columns());
    for (int y = 0; y < coverage.rows(); ++y) {
        for (int x = 0; x < coverage.columns(); ++x) {
            std::int64_t best = 0;
            for (int dy = -r; dy <= r; ++dy) {
                for (int dx = -r; dx <= r; ++dx) {
                    const int yy = y + dy, xx = x + dx;
                    if (yy < 0 || yy >= coverage.rows() || xx < 0 || xx >= coverage.columns()) continue;
                    best = std::max(best, std::int64_t{coverage.at(yy, xx)} * kernel.weight(dy + r, dx + r));
                }
            }
            out.at(y, x) = static_cast<std::int32_t>(best / kernel.divisor);
        }
    }
    return out;
}

}  // namespace skin
