#include "server/platform/GearlinkBridge.h"

#include "win32/Application.h"
#include "win32/LibraryLoading.h"

namespace kelvane {

GearlinkBridge& GearlinkBridge::instance() {
    static GearlinkBridge& bridge = *new GearlinkBridge;
    return bridge;
}

GearlinkBridge::GearlinkBridge() {
    m_module = win32::loadLibraryFile(win32::executableFolder() + L"Gearlink.dll");
    if (!m_module) return;
    if (!KV_BIND_EXPORTS(KV_GEARLINK_EXPORTS, m_module.get())) {
        // A partial bridge is no bridge: nothing of it is called.
        KV_CLEAR_EXPORTS(KV_GEARLINK_EXPORTS)
        return;
    }
    m_pVeloGearInit();
}

bool GearlinkBridge::setControlData(std::uint32_t value) {
    return m_pSetControlData && (m_pSetControlData(value) & 0xFF) != 0;
}

void GearlinkBridge::setControlFunction(std::uint32_t value) {
    if (m_pSetControlFunction) m_pSetControlFunction(value);
}

}  // namespace kelvane
