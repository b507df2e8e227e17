#pragma once
// Resampling a skin image to another size: a separable triangle filter, as wide as one source pixel
// when enlarging and as one target pixel when reducing, so that a reduction averages every source
// pixel. 32-bit images are filtered with colour weighted by alpha: a transparent neighbour lends
// no colour to an edge, and a pixel that comes out fully transparent is black.

#include "skin/pixels/Image.h"

namespace skin {

// Fills the target, sized by the caller, from the whole source. Both have the same format; an
// image without pixels leaves the target untouched. Equal sizes copy the pixels exactly.
void resampleImage(const Image& source, Image& target);

}  // namespace skin
