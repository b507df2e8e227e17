#pragma once
// "Lumbra.dll", the maker's back end: numbered tuning items, each a scale of steps (GgrpItemInfo)
// with a current step number. Item ids are 32-bit numbers such as 0x3020055.

#include <cstdint>
#include <functional>
#include <memory>

#include "gpulib/GgrpItemInfo.h"

namespace kelvane {

class LumbraLib {
  public:
    virtual ~LumbraLib() = default;
    // Loads and binds the library, then "LumbraInit"'s 8-bit result; 0 when loading failed.
    virtual std::uint8_t Init() = 0;
    virtual bool IsItemSupported(std::uint32_t id) = 0;
    virtual bool GetGGRPItemInfo(std::uint32_t id, GgrpItemInfo& info) = 0;
    virtual bool SetItem(std::uint32_t id, std::int32_t stepNumber) = 0;
    virtual bool GetItem(std::uint32_t id, std::int32_t& stepNumber) = 0;
};

// Holds the process's one initialised Lumbra instance and passes requests on to it.
class LumbraLibDll {
  public:
    explicit LumbraLibDll(std::unique_ptr<LumbraLib> library) : m_library(std::move(library)) {}

    bool IsItemSupported(std::uint32_t id) { return m_library->IsItemSupported(id); }
    bool GetGGRPItemInfo(std::uint32_t id, GgrpItemInfo& info) {
        return m_library->GetGGRPItemInfo(id, info);
    }
    bool SetItem(std::uint32_t id, std::int32_t stepNumber) { return m_library->SetItem(id, stepNumber); }
    bool GetItem(std::uint32_t id, std::int32_t& stepNumber) { return m_library->GetItem(id, stepNumber); }

  private:
    std::unique_ptr<LumbraLib> m_library;
};

// How the tuning items reach Lumbra. The holder is made by the first request whose new instance
// initialises; until then every request tries again (so that a library installed or repaired later
// is found), and a request that finds no holder answers false and leaves its output untouched.
class LumbraLibAccess {
  public:
    using NewInstance = std::function<std::unique_ptr<LumbraLib>()>;
    explicit LumbraLibAccess(NewInstance newInstance) : m_newInstance(std::move(newInstance)) {}

    // The holder, or none while no instance initialises.
    LumbraLibDll* GetLumbraLibDll();

    bool IsItemSupported(std::uint32_t id);
    bool GetGGRPItemInfo(std::uint32_t id, GgrpItemInfo& info);
    bool SetItem(std::uint32_t id, std::int32_t stepNumber);
    bool GetItem(std::uint32_t id, std::int32_t& stepNumber);

    // The item is supported and its step number can be read: an item worth offering.
    bool HasReadableItem(std::uint32_t id);

  private:
    NewInstance m_newInstance;
    std::unique_ptr<LumbraLibDll> m_holder;
};

}  // namespace kelvane
