#pragma once
// A Greencard back end for tests of the server's logic, which calls four of its entry points: the
// test overrides the roles it watches (read fan, read clocks, apply clocks, apply fan).

#include <cstdint>
#include <string>

#include "gpulib/Backends.h"

namespace kelvane {

class GreencardRoles : public GreencardBackend {
  public:
    virtual void readFan(std::uint32_t, NvClockInfo&) {}
    virtual void readClocks(std::uint32_t, NvClockInfo&) {}
    virtual void applyClocks(std::uint32_t, const NvClockInfo&) {}
    virtual void applyFan(std::uint32_t, const NvClockInfo&) {}

    bool Nv_GetGPUFan(std::int32_t index, NvClockInfo& record) final {
        readFan(card(index), record);
        return true;
    }
    bool Nv_GetGPUClockInfoPStates(std::int32_t index, NvClockInfo& record) final {
        readClocks(card(index), record);
        return true;
    }
    bool Nv_SetGPUClockInfoPStates(std::int32_t index, const NvClockInfo& record) final {
        applyClocks(card(index), record);
        return true;
    }
    bool Nv_SetGPUFan(std::int32_t index, const NvClockInfo& record) final {
        applyFan(card(index), record);
        return true;
    }

    // The server never calls these.
    std::uint8_t Init() final { return 1; }
    bool IsLoaded() const final { return true; }
    bool Nv_GetGPUCount(std::uint32_t&) final { return false; }
    bool Nv_GetGPUName(std::int32_t, std::string&) final { return false; }
    void Nv_UnInitialize() final {}

  private:
    static std::uint32_t card(std::int32_t index) { return static_cast<std::uint32_t>(index); }
};

}  // namespace kelvane
