#pragma once
// Skinned controls with the program's fixed skin settings: Verdana 16 px in the skin colour. Places,
// sizes, font heights and offsets are in 96-DPI units, scaled to the DPI the controls are made or
// laid out again for; images come from the skin set for that DPI, resampled to its exact size.

#include <array>
#include <string>
#include <vector>

#include "skin/controls/GsButton.h"
#include "skin/controls/GsImage.h"
#include "skin/controls/SkinLabel.h"

namespace skin {

// Red 214, green 196, blue 192.
inline constexpr COLORREF kSkinColor = RGB(214, 196, 192);

// What went wrong while skin files were loaded, one line per file; the controls are made anyway.
using SkinProblems = std::vector<std::wstring>;

// The image files of a button's faces, in the order Raised, Sunken, Hovered, Disabled; an empty path
// loads nothing.
using FacePaths = std::array<std::wstring, 4>;

// A skin image into the bitmap at the DPI: from the file of the set for the DPI beside the named 1x
// file, or from the 1x file when that one is not there (silently), resampled to the 1x size scaled
// to the DPI. A file that cannot be opened or read is a problem of its own name; the bitmap then
// stays as it was.
void LoadSkinFile(const std::wstring& path, int dpi, Bitmap& bitmap, SkinProblems& problems);

// A visible button at (left, top), the size of its Raised face, composed over the background.
GsButton& CreateSkinButton(SkinForm& parent, const Bitmap* background, int left, int top,
                           const FacePaths& faces, const std::wstring& caption, int dpi,
                           SkinProblems& problems);
// An auto-sized image at (left, top) showing the file.
GsImage& CreateSkinImage(SkinForm& parent, const std::wstring& path, int left, int top, int dpi,
                         SkinProblems& problems);
// A hidden, auto-sized, transparent label.
SkinLabel& CreateSkinLabel(SkinForm& parent, int dpi);

// The same controls laid out for another DPI: faces and images loaded again for it, places, sizes,
// font heights and offsets scaled.
void ScaleSkinButton(GsButton& button, int left, int top, const FacePaths& faces, int dpi,
                     SkinProblems& problems);
void ScaleSkinImage(GsImage& image, const std::wstring& path, int left, int top, int dpi,
                    SkinProblems& problems);
void ScaleSkinLabel(SkinLabel& label, int dpi);

}  // namespace skin
