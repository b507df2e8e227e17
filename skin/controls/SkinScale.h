#pragma once
// Display scale of the skin. Places, sizes, font heights and offsets of the skinned forms are written
// for 96 pixels per inch and scaled to the window's DPI where they are applied, as MulDiv(value, dpi,
// 96) does. The artwork comes in sets drawn at 1x, 1.5x and 2x; a form takes the smallest set at or
// above its scale (else 1x) and resamples its images to the exact size for the DPI. Portable.

#include <span>
#include <string>

namespace skin {

// The DPI the design values are written for: 100 %.
inline constexpr int kDesignDpi = 96;
// value * dpi / 96, rounded half away from zero (MulDiv's rounding).
int scaledToDpi(int value, int dpi);

struct ImageSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const ImageSize&, const ImageSize&) = default;
};

// One set of the artwork: the DPI it is drawn for and what its file names carry before ".png"
// (nothing for 1x: those names are the ones the program has always read).
struct SkinSet {
    int dpi;
    const wchar_t* suffix;
};

// 1x, 1.5x and 2x, smallest first; resource/make-skin draws the same scales.
std::span<const SkinSet> skinSets();
const SkinSet& designSkinSet();
// The smallest set drawn at or above the DPI; the 1x set above the largest.
const SkinSet& skinSetFor(int dpi);
// The file of a set beside the 1x file: "...\popup_bg08.png" -> "...\popup_bg08@2x.png". A name
// without ".png" at its end gets the suffix at its end.
std::wstring skinFileOfSet(const std::wstring& path, const SkinSet& set);
// The size at the DPI of an image of a set: the 1x size scaled, from the set's own pixels.
ImageSize sizeAtDpi(ImageSize loaded, const SkinSet& set, int dpi);

}  // namespace skin
