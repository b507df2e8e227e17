#pragma once
// The halo filter written down directly, (2r + 1)^2 products per cell: what the product's filter is
// checked and measured against.

#include "skin/pixels/Radiation.h"

namespace skin {

IntensityMatrix ReferenceRadiationFilter(const IntensityMatrix& coverage, const RadiationKernel& kernel);

}  // namespace skin
