#include "gpulib/GpuItems.h"

namespace kelvane {

namespace {

// Lumbra gives integrated-card clocks in hundredths of the AMD back end's unit.
std::int32_t hundredth(std::int32_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) / 100u);
}

}  // namespace

LumbraVoltageItem::LumbraVoltageItem(LumbraLibAccess& lumbra, std::uint32_t itemId, std::wstring name)
    : GpuOCItemBase(std::move(name)), m_lumbra(lumbra), m_itemId(itemId) {
    GgrpItemInfo scale;
    if (!m_lumbra.GetGGRPItemInfo(m_itemId, scale)) return;
    std::int32_t stepNumber = 0;
    if (!m_lumbra.GetItem(m_itemId, stepNumber)) return;
    m_Value = scale.valueOf(stepNumber);
    m_Max = scale.maximum();
    m_Min = scale.base;
    m_Default = scale.defaultValue();
    m_Step = scale.stepSize;
    m_Supported = true;
    m_Available = true;
}

std::int32_t LumbraVoltageItem::GetValue() {
    std::int32_t stepNumber = 0;
    if (!m_lumbra.GetItem(m_itemId, stepNumber)) stepNumber = 0;  // a failed read counts as step 0
    m_Value = valueOfStep(stepNumber, m_Step, m_Min);
    return m_Value;
}

bool LumbraVoltageItem::SetValue(std::int32_t value) {
    if (m_Step == 0) return false;
    // Wrapping difference, divided in 64 bits so that no quotient can overflow.
    const auto offset =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(value) - static_cast<std::uint32_t>(m_Min));
    const auto stepNumber = static_cast<std::int32_t>(static_cast<std::int64_t>(offset) / m_Step);
    return m_lumbra.SetItem(m_itemId, stepNumber);
}

GpuOCItemClkAmd::GpuOCItemClkAmd(RedcardBackend& redcard, std::int32_t gpuIndex, std::wstring name,
                                 Entry entry, LumbraLibAccess* rangeFromLumbra, std::uint32_t rangeItemId)
    : GpuOCItemClock(std::move(name), gpuIndex),
      m_redcard(redcard),
      m_entry(entry),
      m_ClockInfoRead(readBlock()) {
    if (!m_ClockInfoRead) return;
    const AmdClockEntry& e = this->entry();
    m_Supported = e.isSupported();
    if (!m_Supported) return;
    m_Value = e.current;
    m_Max = e.maximum;
    m_Min = e.minimum;
    m_Default = e.defaultValue;
    m_Step = e.step;
    m_Available = true;
    if (rangeFromLumbra && m_redcard.Amd_IsIntegrated(m_GpuIndex))
        takeLumbraRange(*rangeFromLumbra, rangeItemId);
}

void GpuOCItemClkAmd::takeLumbraRange(LumbraLibAccess& lumbra, std::uint32_t itemId) {
    GgrpItemInfo scale;
    if (!lumbra.GetGGRPItemInfo(itemId, scale)) scale = {};  // no description: a range of zeros
    m_Max = hundredth(scale.maximum());
    m_Min = hundredth(scale.base);
    m_Default = hundredth(scale.defaultValue());
    m_Step = hundredth(scale.stepSize);
    if (!lumbra.HasReadableItem(itemId)) m_Available = false;
}

bool GpuOCItemClkAmd::readBlock() {
    AmdClockInfo fresh = m_ClockInfo;
    if (!m_redcard.Amd_GetGpuClockInfo(m_GpuIndex, fresh)) return false;
    m_ClockInfo = fresh;
    return true;
}

std::int32_t GpuOCItemClkAmd::GetValue() {
    readBlock();
    m_Value = entry().current;
    return m_Value;
}

bool GpuOCItemClkAmd::SetValue(std::int32_t value) {
    readBlock();
    entry().current = value;
    return m_redcard.Amd_SetGpuClockInfo(m_GpuIndex, m_ClockInfo);
}

}  // namespace kelvane
