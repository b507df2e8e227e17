#include "gpulib/GpuManager.h"

#include <algorithm>

#include "support/Assertion.h"

namespace kelvane {

GpuChip& BasicGpuItem::GetGpu(std::int32_t Index) const {
    KV_VERIFY(Index < m_count);
    return *m_Gpus.at(static_cast<std::size_t>(Index));
}

bool BasicAmdItem::Init() {
    m_IsNv = false;
    const std::int32_t result = m_redcard.Init();
    if (m_redcard.IsLoaded()) {
        m_count = m_redcard.Amd_GetGpuCount();
        CreateGpus();
    }
    return result == 0;
}

void BasicAmdItem::CreateGpus() {
    const std::int32_t count = std::min(m_count, kMostCards);
    for (std::int32_t i = 0; i < count; ++i) {
        if (m_redcard.Amd_IsIntegrated(i))
            m_Gpus.push_back(std::make_unique<GpuAmdIntegrated>(m_redcard, m_lumbra, i));
        else
            m_Gpus.push_back(std::make_unique<GpuAmdDiscrete>(m_redcard, m_lumbra, i));
    }
    m_count = static_cast<std::int32_t>(m_Gpus.size());  // a negative count from the back end means none
}

bool BasicNvItem::Init() {
    m_IsNv = true;
    const std::uint8_t result = m_greencard.Init();
    if (m_greencard.IsLoaded()) {
        std::uint32_t count = 0;
        m_count = m_greencard.Nv_GetGPUCount(count) ? static_cast<std::int32_t>(count) : 1;
    }
    return result == 0;
}

std::unique_ptr<IGpuManager> CreateGpuManager(IGpuDevice& devices, const GpuBackends& backends) {
    devices.Detect();
    if (devices.Count() == 0 || !devices.IsSameVendor()) return nullptr;
    std::unique_ptr<BasicGpuItem> vendor;
    if (devices.GetVendorId(0) == L"10DE")
        vendor = std::make_unique<BasicNvItem>(backends.greencard);
    else
        vendor = std::make_unique<BasicAmdItem>(backends.redcard, backends.lumbra);
    return std::make_unique<IGpuManager>(std::move(vendor));
}

}  // namespace kelvane
