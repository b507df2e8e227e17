#pragma once
// The two outside libraries of the relay, found as Windows finds a program's libraries (its own
// folder, then the system folders, never the current folder) and bound by name.

#include <windows.h>

#include <cstdint>

#include "win32/ExportBinding.h"

namespace tiktor {

// The clock library: optional, without it clock requests go nowhere.
#define TIKTOR_CLOCK_EXPORTS(X) X(SetClock, "SetClock", std::uint32_t, (std::uint32_t))

// The hardware event library: required, the relay has nothing to wait for without it.
#define TIKTOR_EVENT_EXPORTS(X)                    \
    X(NuWMI_Open, "NuWMI_Open", std::uint32_t, ()) \
    X(NuWMI_RegisterEvent, "NuWMI_RegisterEvent", std::uint32_t, ())

class RelayLibraries {
  public:
    // Loads "Ticksmith.dll" and "Evtwatch.dll" and takes their entry points. Missing pieces stay unbound.
    void bind();

    // Opens the hardware event source. False when it does not open, and when the event library or one
    // of its entry points is missing.
    bool openEventSource();
    void registerForEvents();

    // Hands a clock value to the clock library; nothing happens when it is not bound.
    void setClock(std::uint32_t value);

  private:
    // The libraries are never freed: the event library may keep threads of its own running until
    // the process ends, so the modules stay loaded as long as the process lives.
    TIKTOR_CLOCK_EXPORTS(KV_DECLARE_EXPORT)
    TIKTOR_EVENT_EXPORTS(KV_DECLARE_EXPORT)
    bool m_eventLibraryBound = false;
};

}  // namespace tiktor
