#include "gpulib/GpuChip.h"

namespace kelvane {

GpuAmdIntegrated::GpuAmdIntegrated(RedcardBackend& redcard, LumbraLibAccess& lumbra, std::int32_t index)
    : GpuAmd(redcard, index) {
    addItem(std::make_unique<GpuCoreClkAmd>(redcard, lumbra, index));
    addItem(std::make_unique<GpuSidePortClkAmd>(redcard, lumbra, index));
    if (lumbra.HasReadableItem(GpuCoreVol::kItemId)) addItem(std::make_unique<GpuCoreVol>(lumbra));
    if (lumbra.HasReadableItem(GpuSPVol::kItemId)) addItem(std::make_unique<GpuSPVol>(lumbra));
}

GpuAmdDiscrete::GpuAmdDiscrete(RedcardBackend& redcard, LumbraLibAccess& lumbra, std::int32_t index)
    : GpuAmd(redcard, index) {
    addItem(std::make_unique<GpuCoreClkAmd>(redcard, lumbra, index));
    addItem(std::make_unique<GpuMemoryClkAmd>(redcard, index));
    addItem(std::make_unique<GpuVoltageAmd>(redcard, index));
}

}  // namespace kelvane
