#pragma once
// "Lumbra.dll", the maker's back end, loaded from the program folder by Init.

#include <windows.h>

#include <cstdint>

#include "gpulib/LumbraLib.h"
#include "win32/ExportBinding.h"
#include "win32/Handles.h"

namespace kelvane {

#define KV_LUMBRA_EXPORTS(X)                                                                \
    X(LumbraInit, "LumbraInit", std::uint32_t, ())                                          \
    X(LumbraIsSupport, "IsItemSupported", std::uint32_t, (std::uint32_t))                   \
    X(LumbraGGRPItemInfo, "GetGGRPItemInfo", std::uint32_t, (std::uint32_t, GgrpItemInfo*)) \
    X(LumbraSetItem, "LumbraSetItem", std::uint32_t, (std::uint32_t, std::int32_t))         \
    X(LumbraGetItem, "LumbraGetItem", std::uint32_t, (std::uint32_t, std::int32_t*))

class LumbraLibImp final : public LumbraLib {
  public:
    LumbraLibImp() = default;
    LumbraLibImp(const LumbraLibImp&) = delete;
    LumbraLibImp& operator=(const LumbraLibImp&) = delete;

    // A missing library gives 0 without a word; one that cannot be loaded is reported in a message
    // box first. A library without one of the exports stops the program.
    std::uint8_t Init() override;
    bool IsItemSupported(std::uint32_t id) override;
    bool GetGGRPItemInfo(std::uint32_t id, GgrpItemInfo& info) override;
    bool SetItem(std::uint32_t id, std::int32_t stepNumber) override;
    bool GetItem(std::uint32_t id, std::int32_t& stepNumber) override;

  private:
    win32::UniqueModule m_module;  // freed with the instance
    KV_LUMBRA_EXPORTS(KV_DECLARE_EXPORT)
};

// How the program reaches Lumbra: made on the first call and kept until the process ends.
LumbraLibAccess& GetLumbraLibAccess();

}  // namespace kelvane
