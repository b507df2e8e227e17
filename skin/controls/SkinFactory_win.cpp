#include "skin/controls/SkinFactory.h"

#include "skin/controls/SkinScale.h"
#include "skin/pixels/Resample.h"
#include "skin/png/PngReader.h"
#include "win32/FileReader.h"
#include "win32/Text.h"

namespace skin {

namespace {

constexpr int kFontHeight = 16;
constexpr int kSunkenOffset = 1;

Font skinFont(int dpi) {
    Font font;
    font.name = L"Verdana";
    font.height = scaledToDpi(kFontHeight, dpi);
    font.color = kSkinColor;
    return font;
}

// The file of a set into the bitmap, resampled to the size for the DPI; false when it cannot be
// decoded. Throws win32::FileOpenError when it cannot be opened.
bool loadAtDpi(const std::wstring& file, const SkinSet& set, int dpi, Bitmap& bitmap) {
    Bitmap loaded;
    if (!LoadPngFile(file, loaded)) return false;
    const ImageSize size = sizeAtDpi({loaded.width(), loaded.height()}, set, dpi);
    if (size == ImageSize{loaded.width(), loaded.height()} || size.width <= 0 || size.height <= 0) {
        bitmap.Assign(loaded);
        return true;
    }
    Bitmap fitted(size.width, size.height, loaded.format());
    resampleImage(loaded, fitted);
    bitmap.Assign(fitted);
    return true;
}

std::wstring unreadable(const std::wstring& file) { return L"Cannot read the image \"" + file + L"\""; }

}  // namespace

void LoadSkinFile(const std::wstring& path, int dpi, Bitmap& bitmap, SkinProblems& problems) {
    const SkinSet& set = skinSetFor(dpi);
    if (&set != &designSkinSet()) {
        const std::wstring larger = skinFileOfSet(path, set);
        try {
            if (loadAtDpi(larger, set, dpi, bitmap)) return;
            problems.push_back(unreadable(larger));
        } catch (const win32::FileOpenError&) {
            // Not installed: the 1x file serves.
        }
    }
    try {
        if (!loadAtDpi(path, designSkinSet(), dpi, bitmap)) problems.push_back(unreadable(path));
    } catch (const win32::FileOpenError& e) {
        problems.push_back(win32::widen(e.what()));
    }
}

GsButton& CreateSkinButton(SkinForm& parent, const Bitmap* background, int left, int top,
                           const FacePaths& faces, const std::wstring& caption, int dpi,
                           SkinProblems& problems) {
    GsButton& button = parent.own(std::make_unique<GsButton>(parent));
    ScaleSkinButton(button, left, top, faces, dpi, problems);
    button.setInputBkgnd(background);
    button.setCaption(caption);
    ::ShowWindow(button.hwnd(), SW_SHOWNA);
    return button;
}

void ScaleSkinButton(GsButton& button, int left, int top, const FacePaths& faces, int dpi,
                     SkinProblems& problems) {
    button.setBounds(scaledToDpi(left, dpi), scaledToDpi(top, dpi), scaledToDpi(GsButton::kDefaultWidth, dpi),
                     scaledToDpi(GsButton::kDefaultHeight, dpi));
    GsButtonAppearance& look = button.Appearance();
    Bitmap* images[] = {&look.Raised(), &look.Sunken(), &look.Hovered(), &look.Disabled()};
    for (std::size_t i = 0; i < faces.size(); ++i)
        if (!faces[i].empty()) LoadSkinFile(faces[i], dpi, *images[i], problems);
    const Font font = skinFont(dpi);
    button.setFont(font);
    GsButtonOuterGlowTextEffect& effects = button.TextEffect();
    // The states' effects copied Raised's font when first read: each takes the height for the DPI.
    for (GsTextRadiationEffect* effect :
         {&effects.Sunken(), &effects.Hovered(), &effects.Disabled(), &effects.Focused(), &effects.Active()})
        effect->font().height = font.height;
    GsTextRadiationEffect& hovered = effects.Hovered();
    hovered.font().color = kSkinColor;
    hovered.font().bold = true;
    hovered.setOpacity(160);
    hovered.setRadius(0);
    effects.Disabled().font().color = kSkinColor;
    GsTextRadiationEffect& sunken = effects.Sunken();
    sunken.font().color = kSkinColor;
    sunken.font().bold = true;
    sunken.setOffsetX(scaledToDpi(kSunkenOffset, dpi));
    sunken.setOffsetY(scaledToDpi(kSunkenOffset, dpi));
    ::InvalidateRect(button.hwnd(), nullptr, FALSE);
}

GsImage& CreateSkinImage(SkinForm& parent, const std::wstring& path, int left, int top, int dpi,
                         SkinProblems& problems) {
    GsImage& image = parent.own(std::make_unique<GsImage>(parent));
    image.setAutoSize(true);
    ScaleSkinImage(image, path, left, top, dpi, problems);
    return image;
}

void ScaleSkinImage(GsImage& image, const std::wstring& path, int left, int top, int dpi,
                    SkinProblems& problems) {
    image.setBounds(scaledToDpi(left, dpi), scaledToDpi(top, dpi), image.width(), image.height());
    LoadSkinFile(path, dpi, image.Picture(), problems);
}

SkinLabel& CreateSkinLabel(SkinForm& parent, int dpi) {
    SkinLabel& label = parent.own(std::make_unique<SkinLabel>(parent));
    ScaleSkinLabel(label, dpi);
    return label;
}

void ScaleSkinLabel(SkinLabel& label, int dpi) { label.setFont(skinFont(dpi)); }

}  // namespace skin
