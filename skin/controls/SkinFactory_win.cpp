#include "skin/controls/SkinFactory.h"

#include "skin/png/PngReader.h"
#include "win32/FileReader.h"
#include "win32/Text.h"

namespace skin {

namespace {

Font skinFont() {
    Font font;
    font.name = L"Verdana";
    font.height = 16;
    font.color = kSkinColor;
    return font;
}

void loadSkinFile(const std::wstring& path, Bitmap& bitmap, SkinProblems& problems) {
    try {
        if (!LoadPngFile(path, bitmap)) problems.push_back(L"Cannot read the image \"" + path + L"\"");
    } catch (const win32::FileOpenError& e) {
        problems.push_back(win32::widen(e.what()));
    }
}

}  // namespace

GsButton& CreateSkinButton(SkinForm& parent, const Bitmap* background, int left, int top,
                           const FacePaths& faces, const std::wstring& caption, SkinProblems& problems) {
    GsButton& button = parent.own(std::make_unique<GsButton>(parent));
    button.setBounds(left, top, GsButton::kDefaultWidth, GsButton::kDefaultHeight);
    GsButtonAppearance& look = button.Appearance();
    Bitmap* images[] = {&look.Raised(), &look.Sunken(), &look.Hovered(), &look.Disabled()};
    for (std::size_t i = 0; i < faces.size(); ++i)
        if (!faces[i].empty()) loadSkinFile(faces[i], *images[i], problems);
    button.setFont(skinFont());
    button.setInputBkgnd(background);
    GsButtonOuterGlowTextEffect& effects = button.TextEffect();
    GsTextRadiationEffect& hovered = effects.Hovered();
    hovered.font().color = kSkinColor;
    hovered.font().bold = true;
    hovered.font().height = 16;
    hovered.setOpacity(160);
    hovered.setRadius(0);
    effects.Disabled().font().color = kSkinColor;
    GsTextRadiationEffect& sunken = effects.Sunken();
    sunken.font().color = kSkinColor;
    sunken.font().bold = true;
    sunken.setOffsetX(1);
    sunken.setOffsetY(1);
    button.setCaption(caption);
    ::ShowWindow(button.hwnd(), SW_SHOWNA);
    return button;
}

GsImage& CreateSkinImage(SkinForm& parent, const std::wstring& path, int left, int top,
                         SkinProblems& problems) {
    GsImage& image = parent.own(std::make_unique<GsImage>(parent));
    image.setBounds(left, top, 0, 0);
    image.setAutoSize(true);
    loadSkinFile(path, image.Picture(), problems);
    return image;
}

SkinLabel& CreateSkinLabel(SkinForm& parent) {
    SkinLabel& label = parent.own(std::make_unique<SkinLabel>(parent));
    label.setFont(skinFont());
    return label;
}

}  // namespace skin
