#pragma once
// Skinned controls with the program's fixed skin settings: Verdana 16 px in the skin colour.

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

// A visible button at (left, top), the size of its Raised face, composed over the background.
GsButton& CreateSkinButton(SkinForm& parent, const Bitmap* background, int left, int top,
                           const FacePaths& faces, const std::wstring& caption, SkinProblems& problems);
// An auto-sized image at (left, top) showing the file.
GsImage& CreateSkinImage(SkinForm& parent, const std::wstring& path, int left, int top,
                         SkinProblems& problems);
// A hidden, auto-sized, transparent label.
SkinLabel& CreateSkinLabel(SkinForm& parent);

}  // namespace skin
