// The server never loads a library from the folder it was started in: a library planted there under
// the name of one that a vendor's library loads by name stays out of its process.

#include <windows.h>

#include <gtest/gtest.h>

#include "e2e/server/PlantedLibrary.h"
#include "e2e/server/ServerRun.h"
#include "mainboard/standins/BackEnd.h"

namespace server_e2e {
namespace {

bool plantedLibraryLoadedInto(DWORD processId) {
    return static_cast<bool>(
        win32::UniqueHandle(::OpenEventW(SYNCHRONIZE, FALSE, plantedLibraryLoadedEvent(processId).c_str())));
}

using LibrarySearch = ServerTest;

TEST_F(LibrarySearch, ALibraryPlantedInTheCurrentFolderStaysOutOfTheServer) {
    e2e::ProgramFolder planted(L"planted");
    planted.add(e2e::builtFile(L"bin\\planted_library.dll"), simboard::kGreencardHelperLibrary);

    // The plant works: a process that keeps the current folder in its library search (this test) loads
    // it there through the NVIDIA back end's initialisation.
    {
        wchar_t previous[MAX_PATH];
        ASSERT_TRUE(::GetCurrentDirectoryW(MAX_PATH, previous));
        ASSERT_TRUE(::SetCurrentDirectoryW(planted.path().c_str()));
        const win32::UniqueModule backEnd(::LoadLibraryW(e2e::builtFile(L"standins\\Greencard.dll").c_str()));
        ASSERT_TRUE(backEnd);
        const auto initialize = reinterpret_cast<int(__stdcall*)()>(
            reinterpret_cast<void*>(::GetProcAddress(backEnd.get(), "Nv_Initialize")));
        ASSERT_TRUE(initialize);
        initialize();
        ::SetCurrentDirectoryW(previous);
        EXPECT_TRUE(plantedLibraryLoadedInto(::GetCurrentProcessId()));
        // Let go of it, so that its folder can go.
        if (HMODULE helper = ::GetModuleHandleW(simboard::kGreencardHelperLibrary)) ::FreeLibrary(helper);
    }

    // The server started in that folder initialises the same back end without loading it.
    layOut();
    run = std::make_unique<e2e::ProgramRun>(*folder, L"kelvane.exe", &planted);
    ASSERT_TRUE(waitForMainWindow());
    ASSERT_TRUE(e2e::waitUntil([&] { return !callsTo("Nv_Initialize").empty(); }, e2e::kPatienceMs));
    EXPECT_FALSE(plantedLibraryLoadedInto(run->processId()));
}

}  // namespace
}  // namespace server_e2e
