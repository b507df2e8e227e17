#pragma once
// kelvane.exe started from a program folder on the board, and the ways a test reaches it: the
// remote console, its main window's controls, and the journal of its calls.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e/support/Harness.h"
#include "mainboard/machine/MachineDescription.h"
#include "mainboard/tools/common/RemoteConsole.h"
#include "mainboard/tools/common/ServerStartup.h"
#include "server/app/MainForm.h"

namespace server_e2e {

using e2e::Call;

// The server's fixed times and counts, as the board expects them.
using namespace simboard::server_startup;

class ServerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The program folder as an installation lays it out: the server, its libraries (the board's
    // stand-ins, setupapi.dll among them), the suite "Tunedeck II.exe" and Info.ini. A library named
    // in `replaced` comes from the given build-tree file instead, or is left out when that is empty.
    // The skin files of the build's resource folder come along.
    struct Layout {
        bool withGearlink = true;
        bool withInfoIni = true;
        std::vector<std::pair<std::wstring, std::wstring>> replaced = {};
        // Skin files of the built resource folder (connect.ico, popup_bg08.png...) left out.
        std::vector<std::wstring> skinFilesLeftOut = {};
        // The folder's name; empty: the test's.
        std::wstring folderName = {};
    };
    void layOut(const Layout& layout);
    void layOut() { layOut(Layout{}); }

    // A machine description shipped with the board (mainboard/machines), by its file stem.
    static simboard::MachineDescription shippedMachine(const char* stem);
    // Starts the server and waits until its main window exists (and, if asked, has registered).
    HWND start(bool waitForRegistration = true);
    // The same for a run already started (one that shows a report first, say).
    HWND waitForMainWindow(bool waitForRegistration = true);

    // Returns once the server's start-up is over (its card manager and all).
    void waitUntilStarted();
    // Starts the server with the NVIDIA card's library missing; true once its report of that is up
    // (its text in `shown`) and it has registered for notifications, which comes before the report.
    bool startWithGreencardMissing(std::string& shown);

    simboard::LinkResult request(const simboard::Words& words,
                                 std::uint32_t lParam = wire::kRemoteNotifyLParam);
    std::vector<Call> calls(std::uint64_t afterSeq = 0) const;
    std::vector<Call> callsTo(const char* entry, std::uint64_t afterSeq = 0) const;

    HWND control(kelvane::MainControl id) const;
    // Waits until the memo holds the text (its lines arrive in batches), then returns the memo.
    std::string waitForMemo(const std::string& expected);
    // A message box of the server: its text, once it shows.
    HWND waitForMessageBox(std::string& text);
    // Waits for a message box with this text and caption, checks that it has only an OK button and
    // no owner, and closes it; false when no such box came.
    bool dismissMessageBox(const std::string& text, const std::string& caption);

    // The server's calls while it handled one request: from its flag read to its flag write.
    std::vector<Call> callsOfRequest(const simboard::Words& words);

    simboard::Machine& machine = simboard::Machine::instance();
    simboard::RemoteConsole console{machine};
    std::unique_ptr<e2e::ProgramFolder> folder;
    std::unique_ptr<e2e::ProgramRun> run;  // after the folder: the run ends before its files go
    HWND form = nullptr;
    HWND requestTarget = nullptr;  // where request() posts; none: the window registered with the service
};

}  // namespace server_e2e
