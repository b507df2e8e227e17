// Stand-in for the PNG library: a real decoder and encoder (mainboard/pngcodec) behind its four entry
// points. The file comes through the caller's read function, in as many calls as it takes; every call
// is journalled with the image's size and colour type.

#include <windows.h>

#include <cstdint>
#include <vector>

#include "mainboard/machine/Machine.h"
#include "mainboard/pngcodec/PngCodec.h"
#include "mainboard/standins/BackEnd.h"

using simboard::Machine;
using simboard::PngRecord;

namespace {

using ReadFunction = std::int32_t(__stdcall*)(void* user, void* buffer, std::int32_t count);
using WriteFunction = std::int32_t(__stdcall*)(void* user, const void* buffer, std::int32_t count);

std::int32_t journalled(const char* entry, const PngRecord* record, bool ok) {
    const PngRecord none{};
    const PngRecord& r = record ? *record : none;
    Machine::instance().journal("Pixread", entry, {r.width, r.height, r.colourType}, ok ? 1 : 0);
    return ok ? 1 : 0;
}

}  // namespace

extern "C" {

std::int32_t __stdcall ReadPngEx(PngRecord* record, ReadFunction read, void* user) {
    if (!record || !read) return journalled("ReadPngEx", record, false);
    std::string why;
    const bool ok = simboard::decodePng(
        [&](std::uint8_t* buffer, std::int32_t count) { return read(user, buffer, count); }, *record, why);
    if (ok) {
        // A hostile size: the rows and their byte count stay the decoded image's.
        simboard::FaultSwitches& faults = Machine::instance().state().faults;
        record->width = simboard::word(simboard::faultChosenValue(faults.pngWidthReported, faults.pngWidth,
                                                                  static_cast<int>(record->width)));
        record->height = simboard::word(simboard::faultChosenValue(faults.pngHeightReported, faults.pngHeight,
                                                                   static_cast<int>(record->height)));
        // The field is the library's: a library may leave it empty (freeing does not need it).
        if (simboard::consumeFault(faults.pngLibraryFieldZero)) record->rowBytes = 0;
    }
    return journalled("ReadPngEx", record, ok);
}

std::int32_t __stdcall WritePngEx(const PngRecord* record, WriteFunction write, void* user) {
    if (!record || !write) return journalled("WritePngEx", record, false);
    const std::vector<std::uint8_t> png = simboard::encodePng(*record);
    bool ok = !png.empty();
    for (std::size_t at = 0; ok && at < png.size();) {
        const auto count = static_cast<std::int32_t>(std::min<std::size_t>(png.size() - at, 64 * 1024));
        ok = write(user, png.data() + at, count) == count;
        at += static_cast<std::size_t>(count);
    }
    return journalled("WritePngEx", record, ok);
}

void __stdcall FreePngData(PngRecord* record) {
    if (!record) return;
    journalled("FreePngData", record, true);
    simboard::freePng(*record);
}

std::int32_t __stdcall AllocatePngData(PngRecord* record, std::uint32_t width, std::uint32_t height,
                                       std::uint32_t colourType) {
    if (!record) return journalled("AllocatePngData", record, false);
    return journalled("AllocatePngData", record, simboard::allocatePng(width, height, colourType, *record));
}

}  // extern "C"
