#include "skin/png/PngReader.h"

#include <new>

#include "skin/png/PngPixels.h"
#include "support/Assertion.h"
#include "win32/Application.h"
#include "win32/LibraryLoading.h"

namespace skin {
namespace {

// A record that ReadPngEx filled, released with FreePngData when it goes.
class PngDataOwner {
  public:
    PngDataOwner(PngData& data, void(__stdcall* release)(PngData*)) : m_data(data), m_release(release) {}
    ~PngDataOwner() { m_release(&m_data); }
    PngDataOwner(const PngDataOwner&) = delete;
    PngDataOwner& operator=(const PngDataOwner&) = delete;

  private:
    PngData& m_data;
    void(__stdcall* m_release)(PngData*);
};

}  // namespace

std::int32_t __stdcall readPngBytes(void* reader, void* buffer, std::int32_t count) {
    if (count < 0 || !buffer) return 0;
    return static_cast<std::int32_t>(
        static_cast<win32::FileReader*>(reader)->read(buffer, static_cast<std::size_t>(count)));
}

PngReader& PngReader::Instance() {
    static PngReader& reader = *new PngReader(win32::executableFolder() + L"Pixread.dll");
    return reader;
}

PngReader::PngReader(const std::wstring& libraryPath) : m_hinst(win32::loadLibraryFile(libraryPath)) {
    KV_VERIFY_REPORTED_AT(m_hinst, "m_hinst", "PngReader.cpp", 88);
    m_bound = KV_BIND_EXPORTS(KV_PIXREAD_EXPORTS, m_hinst.get());
}

bool PngReader::ReadToBitmap(win32::FileReader& stream, Bitmap& bitmap) {
    if (!m_bound) return false;
    PngData data{};
    if (m_pReadPngEx(&data, &readPngBytes, &stream) == 0) return false;  // nothing filled, nothing to free
    const PngDataOwner owner(data, m_pFreePngData);
    if (!pngDataUsable(data)) return false;
    const PixelFormat format =
        bitmap.format() == PixelFormat::Bits32 ? PixelFormat::Bits32 : PixelFormat::Bits24;
    try {
        Bitmap image(static_cast<int>(data.width), static_cast<int>(data.height), format);
        copyPngPixels(data, image);
        bitmap.Assign(image);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool LoadPngFile(const std::wstring& path, skin::Bitmap& bitmap) {
    bitmap.convertTo(PixelFormat::Bits32);
    win32::FileReader stream(path);
    return PngReader::Instance().ReadToBitmap(stream, bitmap);
}

}  // namespace skin
