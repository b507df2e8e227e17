#pragma once
// Skin images: PNG files decoded by "Pixread.dll" from the program folder into skin bitmaps.

#include <windows.h>

#include <cstdint>
#include <string>

#include "skin/paint/Bitmap.h"
#include "skin/png/PngData.h"
#include "win32/ExportBinding.h"
#include "win32/FileReader.h"
#include "win32/Handles.h"

namespace skin {

// What ReadPngEx pulls the file through: the user value it was given, a buffer and a byte count.
using PngReadFunction = std::int32_t(__stdcall*)(void* user, void* buffer, std::int32_t count);

// The read function over a win32::FileReader as user value: the whole request unless the file ends
// first; a negative count reads nothing.
std::int32_t __stdcall readPngBytes(void* reader, void* buffer, std::int32_t count);

#define KV_PIXREAD_EXPORTS(X)                                                   \
    X(ReadPngEx, "ReadPngEx", std::int32_t, (PngData*, PngReadFunction, void*)) \
    X(FreePngData, "FreePngData", void, (PngData*))

class PngReader {
  public:
    // The shared reader over the program folder's Pixread.dll, loaded on the first call. A library
    // that does not load stops the program with the assertion report "m_hinst" of "PngReader.cpp",
    // line 88.
    static PngReader& Instance();

    // The library at its full path: a wide one, since a folder's name may hold characters that the
    // system's ANSI code page cannot say.
    explicit PngReader(const std::wstring& libraryPath);
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    // Decodes the stream into the bitmap: a 32-bit bitmap stays 32-bit and gets the alpha channel,
    // any other becomes 24-bit. False, with the bitmap as it was, when the library lacks ReadPngEx or
    // FreePngData, cannot decode the stream, or delivers a record without rows or of a size that
    // cannot be held. A record that a read filled is freed on every path.
    bool ReadToBitmap(win32::FileReader& stream, Bitmap& bitmap);

  private:
    win32::UniqueModule m_hinst;
    KV_PIXREAD_EXPORTS(KV_DECLARE_EXPORT)
    bool m_bound = false;
};

// A skin file into the bitmap, made 32-bit first (that and a successful load tell the bitmap's
// change listeners, which resize the control that shows it). False for a file that cannot be
// decoded, which leaves the bitmap's size and pixels as they were; a file that cannot be opened
// throws win32::FileOpenError.
bool LoadPngFile(const std::wstring& path, skin::Bitmap& bitmap);

}  // namespace skin
