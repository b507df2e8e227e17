#pragma once
// The composition root of the server: the objects the main window works with, wired once by the
// entry point. Process-wide bindings are passed in; the window reaches for none of them itself.

#include <string>
#include <utility>

#include "gpulib/Backends.h"
#include "server/carddb/GreencardCardNames.h"
#include "server/carddb/InfoIni.h"
#include "server/core/Ports.h"
#include "server/platform/RemoteLink.h"

namespace kelvane {

struct ServerParts {
    ServerParts(GreencardBackend& greencardBackend, std::wstring infoIniPath)
        : greencard(greencardBackend),
          infoIni(std::move(infoIniPath)),
          cardNames(greencardBackend),
          database(infoIni, cardNames) {}
    ServerParts(const ServerParts&) = delete;
    ServerParts& operator=(const ServerParts&) = delete;

    GreencardBackend& greencard;
    CardState cards;
    AcpiRegisters registers;
    PrivateProfileFile infoIni;
    GreencardCardNames cardNames;
    InfoIniDatabase database;
};

}  // namespace kelvane
