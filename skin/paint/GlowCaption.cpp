// Renders a caption with a soft blue halo through GDI and the outer-glow painter and saves it as a
// 24-bit BMP file: kelvane_glow_caption OUTPUT.bmp (scripts/render-glow-caption makes the PNG).

#include <cstdio>
#include <fstream>

#include "Version.h"
#include "skin/paint/TextPainter.h"

namespace {

bool saveBmp(skin::Bitmap& bitmap, const wchar_t* path) {
    bitmap.convertTo(skin::PixelFormat::Bits24);
    const DWORD stride = (static_cast<DWORD>(bitmap.width()) * 3 + 3) / 4 * 4;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = bitmap.width();
    info.biHeight = -bitmap.height();  // rows top-down, as the bitmap holds them
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + stride * static_cast<DWORD>(bitmap.height());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = 0; y < bitmap.height(); ++y) out.write(reinterpret_cast<const char*>(bitmap.row(y)), stride);
    return static_cast<bool>(out);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: kelvane_glow_caption OUTPUT.bmp\n", stderr);
        return 2;
    }
    skin::Bitmap picture(320, 72, skin::PixelFormat::Bits24);
    picture.canvas().setBrushColor(RGB(32, 36, 44));
    picture.canvas().FillRect({0, 0, 320, 72});
    skin::Font font = skin::Font::platformDefault();
    font.name = L"Tahoma";
    font.height = -30;
    font.bold = true;
    font.color = RGB(255, 255, 255);
    picture.canvas().setFont(font);

    skin::OuterGlowTextPainter painter;
    painter.setRadius(4);
    painter.setGlowColor(RGB(64, 140, 255));
    painter.DrawOnBitmap(picture, std::wstring_view(L"" KV_PRODUCT_NAME), {0, 0, 320, 72},
                         DT_SINGLELINE | DT_CENTER | DT_VCENTER, false);
    if (!saveBmp(picture, argv[1])) {
        std::fputs("cannot write the picture\n", stderr);
        return 1;
    }
    return 0;
}
