#include "server/carddb/GreencardCardNames.h"

#include <windows.h>

#include "gpulib/BufferText.h"
#include "server/core/IntegerText.h"
#include "win32/Text.h"

namespace kelvane {

std::u16string GreencardCardNames::cardName(std::uint32_t card) {
    std::string name;
    m_greencard.Nv_GetGPUName(static_cast<std::int32_t>(card), name);  // its answer is not read
    return cardNameFromBuffer(name.data(), name.size());
}

std::u16string cardNameFromBuffer(const char* buffer, std::size_t size) {
    const std::wstring name = win32::widen(textUpToZero(std::span<const char>(buffer, size)), CP_ACP);
    return std::u16string(
        trimText(std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size())));
}

}  // namespace kelvane
