#pragma once
// kelvane.exe started from a program folder on the board, and the ways a test reaches it: the
// remote console, its main window's controls, and the journal of its calls.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e/support/Harness.h"
#include "mainboard/tools/common/RemoteConsole.h"
#include "server/app/MainForm.h"

namespace server_e2e {

using e2e::Call;

inline constexpr DWORD kAnswerTimeoutMs = 5000;

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Lays out the program folder; the bridge library is left out when asked.
    void layOut(bool withGearlink = true);
    // Starts the server and waits until its main window exists (and, if asked, has registered).
    HWND start(bool waitForRegistration = true);

    simboard::LinkResult request(const simboard::Words& words, std::uint32_t lParam = kelvane::kRemoteNotifyLParam);
    std::vector<Call> calls(std::uint64_t afterSeq = 0) const;
    std::vector<Call> callsTo(const char* entry, std::uint64_t afterSeq = 0) const;

    HWND control(kelvane::MainControl id) const;
    // Waits until the memo holds the text (its lines arrive in batches), then returns the memo.
    std::string waitForMemo(const std::string& expected);
    // A message box of the server: its text, once it shows.
    HWND waitForMessageBox(std::string& text);

    simboard::Machine& machine = simboard::Machine::instance();
    simboard::RemoteConsole console{machine};
    std::unique_ptr<e2e::ProgramFolder> folder;
    std::unique_ptr<e2e::ProgramRun> run;  // after the folder: the run ends before its files go
    HWND form = nullptr;
};

}  // namespace server_e2e
