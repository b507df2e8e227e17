#include "skin/controls/SkinScale.h"

#include <cstdint>

namespace skin {

namespace {

// value * numerator / denominator, half away from zero; the denominator is positive.
int mulDiv(int value, int numerator, int denominator) {
    const std::int64_t product = static_cast<std::int64_t>(value) * numerator;
    const std::int64_t half = denominator / 2;
    return static_cast<int>((product >= 0 ? product + half : product - half) / denominator);
}

constexpr SkinSet kSets[] = {{kDesignDpi, L""}, {kDesignDpi * 3 / 2, L"@1.5x"}, {kDesignDpi * 2, L"@2x"}};

}  // namespace

int scaledToDpi(int value, int dpi) { return mulDiv(value, dpi, kDesignDpi); }

std::span<const SkinSet> skinSets() { return kSets; }

const SkinSet& designSkinSet() { return kSets[0]; }

const SkinSet& skinSetFor(int dpi) {
    for (const SkinSet& set : kSets)
        if (set.dpi >= dpi) return set;
    return designSkinSet();
}

std::wstring skinFileOfSet(const std::wstring& path, const SkinSet& set) {
    constexpr std::wstring_view kPng = L".png";
    const bool png =
        path.size() >= kPng.size() && path.compare(path.size() - kPng.size(), kPng.size(), kPng) == 0;
    const std::size_t at = png ? path.size() - kPng.size() : path.size();
    return std::wstring(path).insert(at, set.suffix);
}

ImageSize sizeAtDpi(ImageSize loaded, const SkinSet& set, int dpi) {
    return {mulDiv(loaded.width, dpi, set.dpi), mulDiv(loaded.height, dpi, set.dpi)};
}

}  // namespace skin
