#pragma once
// Tuning items: one adjustable quantity of one card (a clock or a voltage) with its current value,
// range, default and step, in the back end's units. The figures are read when the item is made;
// GetValue reads the current value again and SetValue applies a new one.

#include <cstdint>
#include <string>

#include "gpulib/AmdClockInfo.h"
#include "gpulib/Backends.h"
#include "gpulib/LumbraLib.h"

namespace kelvane {

class GpuOCItemBase {
  public:
    virtual ~GpuOCItemBase() = default;
    GpuOCItemBase(const GpuOCItemBase&) = delete;
    GpuOCItemBase& operator=(const GpuOCItemBase&) = delete;

    virtual const std::wstring& GetName() const { return m_Name; }
    virtual std::int32_t GetValue() { return m_Value; }
    virtual bool SetValue(std::int32_t value) {
        m_Value = value;
        return true;
    }
    virtual std::int32_t GetMax() const { return m_Max; }
    virtual std::int32_t GetMin() const { return m_Min; }
    virtual std::int32_t GetDefault() const { return m_Default; }
    virtual std::int32_t GetStep() const { return m_Step; }
    virtual bool IsAvailable() const { return m_Available; }
    virtual bool IsSupported() const { return m_Supported; }
    virtual std::int32_t Reserved() const { return 0; }

  protected:
    explicit GpuOCItemBase(std::wstring name) : m_Name(std::move(name)) {}

    std::int32_t m_Value = 0;
    std::int32_t m_Min = 0;
    std::int32_t m_Max = 0;
    std::int32_t m_Default = 0;
    std::int32_t m_Step = 0;
    bool m_Available = false;  // the figures were read (integrated clocks: and Lumbra has the item)
    bool m_Supported = false;  // the back end reports the item
    std::wstring m_Name;
};

// A voltage of an integrated card, kept by Lumbra as a step number on the item's scale.
class LumbraVoltageItem : public GpuOCItemBase {
  public:
    std::int32_t GetValue() override;
    // Sends the step number of the value, rounded toward the minimum; refused (false) when the item
    // has no scale because its figures could not be read.
    bool SetValue(std::int32_t value) override;

  protected:
    LumbraVoltageItem(LumbraLibAccess& lumbra, std::uint32_t itemId, std::wstring name);

  private:
    LumbraLibAccess& m_lumbra;
    std::uint32_t m_itemId;
};

class GpuCoreVol final : public LumbraVoltageItem {
  public:
    static constexpr std::uint32_t kItemId = 0x3020055;
    explicit GpuCoreVol(LumbraLibAccess& lumbra) : LumbraVoltageItem(lumbra, kItemId, L"Core Voltage") {}
};

class GpuSPVol final : public LumbraVoltageItem {
  public:
    static constexpr std::uint32_t kItemId = 0x3020062;
    explicit GpuSPVol(LumbraLibAccess& lumbra) : LumbraVoltageItem(lumbra, kItemId, L"SidePort Voltage") {}
};

class GpuOCItemClock : public GpuOCItemBase {
  protected:
    GpuOCItemClock(std::wstring name, std::int32_t gpuIndex)
        : GpuOCItemBase(std::move(name)), m_GpuIndex(gpuIndex) {}

    std::int32_t m_GpuIndex;  // the AMD back end's card index
};

// One entry of an AMD card's clock-information block. The item keeps a copy of the whole block and
// applies a value by sending the block back with only that entry's current value changed.
class GpuOCItemClkAmd : public GpuOCItemClock {
  public:
    std::int32_t GetValue() override;
    bool SetValue(std::int32_t value) override;

  protected:
    using Entry = AmdClockEntry AmdClockInfo::*;

    // rangeFromLumbra: for the clocks whose range, on integrated cards, is Lumbra's (else null).
    GpuOCItemClkAmd(RedcardBackend& redcard, std::int32_t gpuIndex, std::wstring name, Entry entry,
                    LumbraLibAccess* rangeFromLumbra = nullptr, std::uint32_t rangeItemId = 0);

  private:
    // A read that fails keeps the previous copy of the block.
    bool readBlock();
    void takeLumbraRange(LumbraLibAccess& lumbra, std::uint32_t itemId);
    AmdClockEntry& entry() { return m_ClockInfo.*m_entry; }

    RedcardBackend& m_redcard;
    Entry m_entry;
    AmdClockInfo m_ClockInfo{};
    bool m_ClockInfoRead = false;  // by the first read, when the item was made
};

class GpuCoreClkAmd final : public GpuOCItemClkAmd {
  public:
    static constexpr std::uint32_t kIntegratedRangeItem = 0x3010060;
    GpuCoreClkAmd(RedcardBackend& redcard, LumbraLibAccess& lumbra, std::int32_t gpuIndex)
        : GpuOCItemClkAmd(redcard, gpuIndex, L"Core Clock", &AmdClockInfo::core, &lumbra,
                          kIntegratedRangeItem) {}
};

class GpuSidePortClkAmd final : public GpuOCItemClkAmd {
  public:
    static constexpr std::uint32_t kIntegratedRangeItem = 0x3010063;
    GpuSidePortClkAmd(RedcardBackend& redcard, LumbraLibAccess& lumbra, std::int32_t gpuIndex)
        : GpuOCItemClkAmd(redcard, gpuIndex, L"SidePort Clock", &AmdClockInfo::memory, &lumbra,
                          kIntegratedRangeItem) {}
};

class GpuMemoryClkAmd final : public GpuOCItemClkAmd {
  public:
    GpuMemoryClkAmd(RedcardBackend& redcard, std::int32_t gpuIndex)
        : GpuOCItemClkAmd(redcard, gpuIndex, L"Memory Clock", &AmdClockInfo::memory) {}
};

class GpuVoltageAmd final : public GpuOCItemClkAmd {
  public:
    GpuVoltageAmd(RedcardBackend& redcard, std::int32_t gpuIndex)
        : GpuOCItemClkAmd(redcard, gpuIndex, L"Voltage Clock", &AmdClockInfo::voltage) {}
};

}  // namespace kelvane
