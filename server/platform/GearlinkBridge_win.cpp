#include "server/platform/GearlinkBridge.h"

#include "win32/Application.h"

namespace kelvane {

GearlinkBridge& GearlinkBridge::instance() {
    static GearlinkBridge& bridge = *new GearlinkBridge;
    return bridge;
}

GearlinkBridge::GearlinkBridge() {
    const std::wstring path = win32::executableFolder() + L"Gearlink.dll";
    if (!win32::fileExists(path)) return;
    m_module = ::LoadLibraryW(path.c_str());
    if (!m_module) return;
    HMODULE module = m_module;
    bool all = true;
    KV_GEARLINK_EXPORTS(KV_BIND_EXPORT)
    if (!all) {
        // A partial bridge is no bridge: nothing of it is called.
        KV_GEARLINK_EXPORTS(KV_CLEAR_EXPORT)
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
