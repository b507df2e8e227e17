#include "server/cards/GreencardCards.h"

namespace kelvane {

namespace {

std::int32_t backEndIndex(std::uint32_t card) { return static_cast<std::int32_t>(card); }

}  // namespace

void GreencardCards::readFan(std::uint32_t card, NvClockInfo& record) {
    m_greencard.Nv_GetGPUFan(backEndIndex(card), record);
}

void GreencardCards::readClocks(std::uint32_t card, NvClockInfo& record) {
    m_greencard.Nv_GetGPUClockInfoPStates(backEndIndex(card), record);
}

void GreencardCards::applyClocks(std::uint32_t card, const NvClockInfo& record) {
    m_greencard.Nv_SetGPUClockInfoPStates(backEndIndex(card), record);
}

void GreencardCards::applyFan(std::uint32_t card, const NvClockInfo& record) {
    m_greencard.Nv_SetGPUFan(backEndIndex(card), record);
}

}  // namespace kelvane
