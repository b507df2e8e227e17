// Stand-in for the translation library over the board's catalogs (machine/Translations), in the
// language that the machine state chooses (simctl language) or else the user's UI language. Every
// translation is journalled with the buffer's capacity and the catalog's language id.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "mainboard/machine/Machine.h"
#include "mainboard/machine/Translations.h"
#include "mainboard/standins/BackEnd.h"

using namespace simboard;

namespace {

constexpr char kLibrary[] = "NuMultiLang";
constexpr std::int32_t kUnterminatedExcess = 8;  // what translate-unterminated adds to the length

Machine& board() { return Machine::instance(); }

const Catalog& currentCatalog() {
    const std::uint32_t chosen = loadWord(board().state().uiLanguage);
    return catalogFor(static_cast<std::uint16_t>(chosen != 0 ? chosen : ::GetUserDefaultUILanguage()));
}

// Up to capacity - 1 units of text, without a terminator; the units written.
std::size_t writeUnits(wchar_t* buffer, std::int32_t capacity, std::u16string_view text) {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
    std::copy_n(text.begin(), n, reinterpret_cast<char16_t*>(buffer));
    return n;
}

}  // namespace

extern "C" {

// Each load of the library into a process is journalled ("load"): a program loads it once.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) board().journal(kLibrary, "load", {}, 1);
    return TRUE;
}

std::int32_t __stdcall NuTranslateStr(const wchar_t* key, wchar_t* buffer, std::int32_t capacity) {
    MachineLayout& m = board().state();
    const Catalog& catalog = currentCatalog();
    std::int32_t result = -1;
    if (key && buffer && capacity > 0 && !consumeFault(m.faults.translateNegative)) {
        const std::u16string_view text = translation(catalog, reinterpret_cast<const char16_t*>(key));
        const std::size_t written = writeUnits(buffer, capacity, text);
        result = static_cast<std::int32_t>(text.size());
        if (consumeFault(m.faults.translateUnterminated)) {
            result += kUnterminatedExcess;
        } else {
            buffer[written] = L'\0';
            if (consumeFault(m.faults.translateLong)) result = capacity - 1;
            if (consumeFault(m.faults.translateLengthZero)) result = 0;
        }
    }
    board().journal(kLibrary, "NuTranslateStr", {word(capacity), catalog.languageId}, result);
    return result;
}

// The catalog's name ("de"), zero-terminated; its length, or -1 without a buffer.
std::int32_t __stdcall NuGetLangName(wchar_t* buffer, std::int32_t capacity) {
    if (!buffer || capacity <= 0) return -1;
    const std::string_view name = currentCatalog().name;
    const std::u16string units(name.begin(), name.end());
    buffer[writeUnits(buffer, capacity, units)] = L'\0';
    return static_cast<std::int32_t>(name.size());
}

}  // extern "C"
