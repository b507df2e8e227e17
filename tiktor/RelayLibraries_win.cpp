#include "tiktor/RelayLibraries.h"

#include <string>

namespace tiktor {

namespace {

// The folder of the running program with its trailing backslash; empty when it cannot be told.
// Walks by characters, not bytes: in a double-byte code page a trail byte may equal '\\'.
std::string programFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::size_t end = 0;
    for (const char* p = path.c_str(); *p != '\0'; p = ::CharNextA(p)) {
        if (*p == '\\') end = static_cast<std::size_t>(p - path.c_str()) + 1;
    }
    path.resize(end);
    return path;
}

// Only the program's own folder is looked in, never the search path, so that no other copy of a
// library stands in for the missing one.
HMODULE loadFromProgramFolder(const std::string& folder, const char* file) {
    if (folder.empty()) return nullptr;
    return ::LoadLibraryA((folder + file).c_str());
}

}  // namespace

void RelayLibraries::bind() {
    const std::string folder = programFolder();
    if (HMODULE module = loadFromProgramFolder(folder, "Ticksmith.dll")) {
        [[maybe_unused]] bool all = true;  // each clock entry point is used on its own
        TIKTOR_CLOCK_EXPORTS(KV_BIND_EXPORT)
    }
    if (HMODULE module = loadFromProgramFolder(folder, "Evtwatch.dll")) {
        bool all = true;
        TIKTOR_EVENT_EXPORTS(KV_BIND_EXPORT)
        m_eventLibraryBound = all;
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
