#pragma once
// Card objects: one per card of the AMD back end, answering name and status queries through it and
// owning the tuning items of the card.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gpulib/Backends.h"
#include "gpulib/GpuItems.h"
#include "gpulib/LumbraLib.h"

namespace kelvane {

class GpuChip {
  public:
    virtual ~GpuChip() = default;
    GpuChip(const GpuChip&) = delete;
    GpuChip& operator=(const GpuChip&) = delete;

    virtual std::int32_t GetGpuUsage() { return 0; }
    virtual std::int32_t GetGpuFreq() { return 0; }
    virtual bool GetGpuName(std::wstring& name) = 0;
    virtual std::int32_t GetGpuAdapterID() = 0;
    virtual std::int32_t GetGpuConnected() = 0;

    std::int32_t GetOCItemCount() const { return m_OCItemCount; }
    GpuOCItemBase& GetOCItem(std::int32_t index) const {
        return *m_Items.at(static_cast<std::size_t>(index));
    }

  protected:
    GpuChip() = default;
    void addItem(std::unique_ptr<GpuOCItemBase> item) {
        m_Items.push_back(std::move(item));
        m_OCItemCount = static_cast<std::int32_t>(m_Items.size());
    }

  private:
    std::vector<std::unique_ptr<GpuOCItemBase>> m_Items;  // in the order the card made them
    std::int32_t m_OCItemCount = 0;
};

class GpuAmd : public GpuChip {
  public:
    std::int32_t GetGpuUsage() override { return m_redcard.Amd_GetGpuUsage(m_Index); }
    std::int32_t GetGpuFreq() override { return m_redcard.Amd_GetGpuFreq(m_Index); }
    bool GetGpuName(std::wstring& name) override { return m_redcard.Amd_GetGpuName(m_Index, name); }
    std::int32_t GetGpuAdapterID() override { return m_redcard.Amd_GetGpuAdapterID(m_Index); }
    std::int32_t GetGpuConnected() override { return m_redcard.Amd_GetGpuConnected(m_Index); }

    std::int32_t GetIndex() const { return m_Index; }

  protected:
    GpuAmd(RedcardBackend& redcard, std::int32_t index) : m_redcard(redcard), m_Index(index) {}

    RedcardBackend& m_redcard;
    const std::int32_t m_Index;  // the back end's card index
};

// Integrated graphics: core and SidePort clocks with Lumbra's ranges, and the voltages that Lumbra offers.
class GpuAmdIntegrated final : public GpuAmd {
  public:
    GpuAmdIntegrated(RedcardBackend& redcard, LumbraLibAccess& lumbra, std::int32_t index);
};

// A discrete card: core clock, memory clock and voltage from the AMD back end.
class GpuAmdDiscrete final : public GpuAmd {
  public:
    GpuAmdDiscrete(RedcardBackend& redcard, LumbraLibAccess& lumbra, std::int32_t index);
};

}  // namespace kelvane
