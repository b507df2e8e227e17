#pragma once
// The card manager: the graphics-card library's entry point. It picks the vendor back end from the
// display devices on the PCI bus and holds the vendor manager, which initialises that back end and,
// for AMD cards, holds one card object per card.

#include <cstdint>
#include <memory>
#include <vector>

#include "gpulib/Backends.h"
#include "gpulib/GpuChip.h"
#include "gpulib/GpuDevice.h"
#include "gpulib/LumbraLib.h"

namespace kelvane {

class BasicGpuItem {
  public:
    virtual ~BasicGpuItem() = default;
    BasicGpuItem(const BasicGpuItem&) = delete;
    BasicGpuItem& operator=(const BasicGpuItem&) = delete;

    virtual bool Init() = 0;
    virtual void UnInit() = 0;
    virtual void CreateGpus() = 0;

    std::int32_t GetCount() const { return m_count; }
    bool IsNv() const { return m_IsNv; }
    GpuChip& GetGpu(std::int32_t Index) const;

  protected:
    BasicGpuItem() = default;

    std::vector<std::unique_ptr<GpuChip>> m_Gpus;  // by the back end's card index
    std::int32_t m_count = 0;                      // as the back end reports it
    bool m_IsNv = false;
};

// AMD cards: Init initialises the back end, learns the card count and builds the card objects.
class BasicAmdItem final : public BasicGpuItem {
  public:
    // The most card objects built, whatever count the back end reports: no mainboard holds more,
    // and a broken back end's count in the millions must not build millions of cards.
    static constexpr std::int32_t kMostCards = 16;

    BasicAmdItem(RedcardBackend& redcard, LumbraLibAccess& lumbra) : m_redcard(redcard), m_lumbra(lumbra) {}

    // True when the back end initialised. Without its library nothing else of it is called.
    bool Init() override;
    void UnInit() override { m_redcard.Amd_UnInitialize(); }
    void CreateGpus() override;

  private:
    RedcardBackend& m_redcard;
    LumbraLibAccess& m_lumbra;
};

// NVIDIA cards: Init initialises the back end and learns the card count; the cards themselves are
// used through the back end directly, so no card objects are made.
class BasicNvItem final : public BasicGpuItem {
  public:
    explicit BasicNvItem(GreencardBackend& greencard) : m_greencard(greencard) {}

    // True when Nv_Initialize gave 0, and also when the library could not be loaded (then the count,
    // which cannot be asked, stays 0).
    bool Init() override;
    void UnInit() override { m_greencard.Nv_UnInitialize(); }
    void CreateGpus() override {}

  private:
    GreencardBackend& m_greencard;
};

class IGpuManager {
  public:
    explicit IGpuManager(std::unique_ptr<BasicGpuItem> vendor) : m_vendor(std::move(vendor)) {}

    bool Init() { return m_vendor->Init(); }
    std::int32_t GetGpuCount() const { return m_vendor->GetCount(); }
    // Requires index < GetGpuCount(); only AMD machines have card objects.
    GpuChip& GetGpu(std::int32_t index) const { return m_vendor->GetGpu(index); }
    bool IsNvidiaGpu() const { return m_vendor->IsNv(); }

  private:
    std::unique_ptr<BasicGpuItem> m_vendor;
};

struct GpuBackends {
    GreencardBackend& greencard;
    RedcardBackend& redcard;
    LumbraLibAccess& lumbra;
};

// The manager for the display devices that the list detects: NVIDIA's when the first device's
// vendor id is "10DE", AMD's for any other. None when there is no display device or when the devices
// are of different vendors: such a machine has no supported card.
std::unique_ptr<IGpuManager> CreateGpuManager(IGpuDevice& devices, const GpuBackends& backends);

// The program's card manager, made on the first call that can make one from the system's devices;
// each call while there is none tries again. (Windows program only.)
IGpuManager* GetGpuManager();

}  // namespace kelvane
