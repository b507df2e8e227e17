#pragma once
// The bridge library, loaded from the program folder on first use and kept until the process ends.

#include <windows.h>

#include <cstdint>

#include "win32/ExportBinding.h"
#include "win32/Handles.h"

namespace kelvane {

#define KV_GEARLINK_EXPORTS(X)                                            \
    X(VeloGearInit, "VeloGearInit", std::uint32_t, ())                    \
    X(GetControlData, "GetControlData", std::uint32_t, ())                \
    X(SetControlData, "SetControlData", std::uint32_t, (std::uint32_t))   \
    X(SetBankSelector, "SetBankSelector", std::uint32_t, (std::uint32_t)) \
    X(GetControlFunction, "GetControlFunction", std::uint32_t, ())        \
    X(SetControlFunction, "SetControlFunction", std::uint32_t, (std::uint32_t))

class GearlinkBridge {
  public:
    static GearlinkBridge& instance();

    bool bound() const { return m_pSetControlData != nullptr; }
    // False when sending failed or the bridge is not bound.
    bool setControlData(std::uint32_t value);
    void setControlFunction(std::uint32_t value);

  private:
    GearlinkBridge();
    win32::UniqueModule m_module;  // the bridge is never destroyed: the library stays loaded
    KV_GEARLINK_EXPORTS(KV_DECLARE_EXPORT)
};

}  // namespace kelvane
