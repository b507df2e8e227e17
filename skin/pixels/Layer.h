#pragma once
// Compositing of 32-bit layers (B, G, R full colour, A coverage) over opaque images, and the
// coverage matrices that turn white-on-black text into a layer's alpha channel.
//
// Every routine stays inside both images: rectangles and layer points are clipped first, so a layer
// smaller than the rectangle (a Hovered face smaller than the Raised one that sized the control)
// leaves the rest of the rectangle untouched instead of being read past its rows.

#include <cstdint>
#include <vector>

#include "skin/pixels/Image.h"

namespace skin {

// One 32-bit signed value per pixel of a rectangle, indexed from the rectangle's top-left corner.
class IntensityMatrix {
  public:
    IntensityMatrix() = default;
    IntensityMatrix(int rows, int columns);

    int rows() const { return m_rows; }
    int columns() const { return m_columns; }
    std::int32_t& at(int row, int column) { return m_values[index(row, column)]; }
    std::int32_t at(int row, int column) const { return m_values[index(row, column)]; }

  private:
    std::size_t index(int row, int column) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) + column;
    }

    int m_rows = 0;
    int m_columns = 0;
    std::vector<std::int32_t> m_values;
};

// Where a layer lands: the destination rectangle and the layer pixel that maps onto its top-left.
struct LayerPlacement {
    Rect rect;
    Point layerPoint;
};

// Moves negative rectangle edges and negative layer points inwards together (so each destination
// pixel keeps its layer pixel) and limits the rectangle to the destination and to what the layer
// holds past the point.
LayerPlacement ClipLayerPlacement(Rect rect, Point layerPoint, const Image& destination, const Image& layer);

// d = truncate(s * opacity/255 * A/255 + d * (1 - A/255)) for B, G and R. The destination keeps the
// weight (1 - A/255) whatever the opacity, so a lower opacity darkens rather than fades. A destination
// that is not 24-bit is turned into 24-bit first; the layer must be 32-bit.
void BlendLayer(Image& destination, Rect rect, const Image& layer, Point layerPoint, std::uint8_t opacity);
// The same: BlendLayer clips as well (see ClipLayerPlacement).
void BlendLayerClipped(Image& destination, Rect rect, const Image& layer, Point layerPoint,
                       std::uint8_t opacity);
// The layer from (0, 0) over the whole destination.
void BlendLayerWhole(Image& destination, const Image& layer, std::uint8_t opacity);

// Layer pixels with A other than 0 replace the background's whole (all four bytes); both 32-bit.
void OverlayLayer(Image& background, Rect rect, const Image& layer, Point layerPoint);

// truncate(0.299 R + 0.587 G + 0.114 B + 0.5) per pixel of the rectangle; cells outside the image are 0.
IntensityMatrix CoverageFromLuminance(const Image& image, Rect rect);

// Writes the matrix, limited to 255, as the alpha of the rectangle; pixels whose value is 0 become
// transparent black. An image that is not 32-bit is turned into 32-bit first (A 255 outside the rectangle).
void ApplyAlpha(Image& image, Rect rect, const IntensityMatrix& matrix);

}  // namespace skin
