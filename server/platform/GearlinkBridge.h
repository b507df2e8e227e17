#pragma once
// The bridge library, loaded from the program folder on first use and kept until the process ends.

#include <windows.h>

#include <cstdint>

#include "win32/ExportBinding.h"

namespace kelvane {

#define KV_GEARLINK_EXPORTS(X)                            \
    X(VeloGearInit, std::uint32_t, ())                   \
    X(GetControlData, std::uint32_t, ())                 \
    X(SetControlData, std::uint32_t, (std::uint32_t))    \
    X(SetBankSelector, std::uint32_t, (std::uint32_t))   \
    X(GetControlFunction, std::uint32_t, ())             \
    X(SetControlFunction, std::uint32_t, (std::uint32_t))

class GearlinkBridge {
public:
    static GearlinkBridge& instance();

    bool bound() const { return m_pSetControlData != nullptr; }
    // False when sending failed or the bridge is not bound.
    bool setControlData(std::uint32_t value);
    void setControlFunction(std::uint32_t value);

private:
    GearlinkBridge();
    HMODULE m_module = nullptr;  // never freed: the bridge stays loaded until the process ends
    KV_GEARLINK_EXPORTS(KV_DECLARE_EXPORT)
};

}  // namespace kelvane
