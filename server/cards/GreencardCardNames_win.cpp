#include "server/cards/GreencardCardNames.h"
#include "server/database/InfoIni.h"

namespace kelvane {

std::u16string GreencardCardNames::cardName(std::uint32_t card) {
    std::string name;
    m_greencard.Nv_GetGPUName(static_cast<std::int32_t>(card), name);  // its answer is not read
    return cardNameFromBuffer(name.data(), name.size());
}

}  // namespace kelvane
