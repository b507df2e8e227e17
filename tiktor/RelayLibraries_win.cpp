#include "tiktor/RelayLibraries.h"

#include "win32/LibraryLoading.h"

namespace tiktor {

void RelayLibraries::bind() {
    if (HMODULE module = win32::loadLibraryByName("Ticksmith.dll")) {
        KV_BIND_EXPORTS(TIKTOR_CLOCK_EXPORTS, module);  // each clock entry point is used on its own
    }
    if (HMODULE module = win32::loadLibraryByName("Evtwatch.dll")) {
        m_eventLibraryBound = KV_BIND_EXPORTS(TIKTOR_EVENT_EXPORTS, module);
    }
}

bool RelayLibraries::openEventSource() { return m_eventLibraryBound && (m_pNuWMI_Open() & 0xFFu) != 0; }

void RelayLibraries::registerForEvents() {
    if (m_eventLibraryBound) m_pNuWMI_RegisterEvent();
}

void RelayLibraries::setClock(std::uint32_t value) {
    if (m_pSetClock) m_pSetClock(value);
}

}  // namespace tiktor
