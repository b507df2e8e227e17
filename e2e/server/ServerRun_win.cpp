#include <gtest/gtest.h>

#include "e2e/server/ServerRun.h"
#include "e2e/support/ProgramFolderFiles.h"
#include "mainboard/machine/BoardSetupApi.h"
#include "mainboard/machine/MachineLogic.h"
#include "protocol/ServerWindows.h"
#include "win32/Text.h"

#include <algorithm>
#include <fstream>

namespace server_e2e {

void ServerTest::SetUp() {
    machine.reset();  // the default machine: one NVIDIA card
    // The board's device tree is its setupapi.dll, which wine loads for the server only when told.
    ASSERT_TRUE(simboard::preferBoardSetupApi(L"kelvane.exe"));
}

void ServerTest::TearDown() {
    // Closed as "Exit" does, so that its icon goes: a terminated server leaves an icon in wine's
    // notification area, whose next icon messages can then keep the next server's start waiting.
    // A server that does not close in time is terminated all the same.
    constexpr DWORD kCloseMs = 10000;
    if (run && run->running() && ::IsWindow(form)) {
        ::PostMessageW(form, WM_CLOSE, 0, 0);
        (void)run->waitForExit(kCloseMs);
    }
    run.reset();  // the setting is read when a run starts; none is left to read it
    simboard::forgetBoardSetupApi(L"kelvane.exe");  // the prefix keeps no trace of the test
}

void ServerTest::layOut(const Layout& layout) {
    folder = std::make_unique<e2e::ProgramFolder>(
        !layout.folderName.empty()
            ? layout.folderName
            : win32::widen(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    folder->add(e2e::builtFile(L"bin\\kelvane.exe"), L"kelvane.exe");
    if (layout.withInfoIni) folder->add(e2e::builtFile(L"bin\\Info.ini"), L"Info.ini");
    std::vector<std::wstring> standins = e2e::kServerPlatformFiles;
    standins.push_back(e2e::kBoardDeviceTree);
    for (const std::wstring& file : standins) {
        std::wstring source = e2e::builtFile(L"standins\\" + file);
        if (file == L"Gearlink.dll" && !layout.withGearlink) source.clear();
        for (const auto& [name, replacement] : layout.replaced)
            if (name == file) source = replacement.empty() ? L"" : e2e::builtFile(replacement);
        if (!source.empty()) folder->add(source, file);
    }
    const std::wstring skin = e2e::builtFile(L"bin\\resource\\");
    WIN32_FIND_DATAW found;
    win32::UniqueFindHandle search(::FindFirstFileW((skin + L"*").c_str(), &found));
    for (bool more = static_cast<bool>(search); more; more = ::FindNextFileW(search.get(), &found)) {
        const std::wstring name = found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (std::find(layout.skinFilesLeftOut.begin(), layout.skinFilesLeftOut.end(), name) ==
            layout.skinFilesLeftOut.end())
            folder->add(skin + name, L"resource\\" + name);
    }
}

simboard::MachineDescription ServerTest::shippedMachine(const char* stem) {
    std::ifstream file(win32::narrow(e2e::builtFile(L"machines\\" + win32::widen(stem) + L".ini")),
                       std::ios::binary);
    EXPECT_TRUE(file) << stem << ": no such machine file in the build";  // empty text is a machine too
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    simboard::DescriptionResult result = simboard::parseMachineDescription(text);
    EXPECT_TRUE(result.machine) << stem << ": " << (result.errors.empty() ? "unreadable" : result.errors[0]);
    return result.machine ? *result.machine : simboard::defaultMachine();
}

HWND ServerTest::start(bool waitForRegistration) {
    if (!folder) layOut();
    run = std::make_unique<e2e::ProgramRun>(*folder, L"kelvane.exe");
    return waitForMainWindow(waitForRegistration);
}

HWND ServerTest::waitForMainWindow(bool waitForRegistration) {
    const auto ready = [&] {
        form = run->findWindow(wire::kMainWindowClass, wire::kMainWindowCaption);
        return form && (!waitForRegistration || !callsTo("NuSysSvr_RegisterNotify").empty());
    };
    EXPECT_TRUE(e2e::waitUntil([&] { return ready() || !run->running(); }, e2e::kPatienceMs) && ready())
        << "the server did not start";
    return form;
}

simboard::LinkResult ServerTest::request(const simboard::Words& words, std::uint32_t lParam) {
    return console.request(words, e2e::kPatienceMs, requestTarget, lParam);
}

std::vector<Call> ServerTest::calls(std::uint64_t afterSeq) const {
    return e2e::callsOf(run->processId(), afterSeq);
}

std::vector<Call> ServerTest::callsTo(const char* entry, std::uint64_t afterSeq) const {
    std::vector<Call> found;
    for (Call& c : calls(afterSeq))
        if (c.entry == entry) found.push_back(std::move(c));
    return found;
}

HWND ServerTest::control(kelvane::MainControl id) const { return ::GetDlgItem(form, static_cast<int>(id)); }

std::string ServerTest::waitForMemo(const std::string& expected) {
    std::string memo;
    e2e::waitUntil(
        [&] {
            return (memo = e2e::controlText(control(kelvane::MainControl::Memo1))).find(expected) !=
                   std::string::npos;
        },
        e2e::kPatienceMs);
    return memo;
}

HWND ServerTest::waitForMessageBox(std::string& text) {
    return e2e::waitForMessageBox(*run, text, e2e::kPatienceMs);
}

void ServerTest::waitUntilStarted() {
    // Notifications are handled only once start-up is over and the message loop runs.
    EXPECT_TRUE(request({0x30010000, 0, 0}).ok()) << "the server did not finish its start-up";
}

bool ServerTest::startWithGreencardMissing(std::string& shown) {
    layOut({.replaced = {{L"Greencard.dll", L""}}});
    return start(/*waitForRegistration=*/false) && waitForMessageBox(shown) &&
           e2e::waitUntil([&] { return !callsTo("NuSysSvr_RegisterNotify").empty(); }, e2e::kPatienceMs);
}

bool ServerTest::dismissMessageBox(const std::string& text, const std::string& caption) {
    std::string shown;
    HWND box = waitForMessageBox(shown);
    if (!box) {
        ADD_FAILURE() << "no message box \"" << text << "\"";
        return false;
    }
    EXPECT_EQ(shown, text);
    EXPECT_EQ(e2e::controlText(box), caption);
    EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr) << "the box has no owner window";
    std::vector<std::string> buttons;
    for (HWND b = nullptr; (b = ::FindWindowExA(box, b, "Button", nullptr));)
        if (::IsWindowVisible(b)) buttons.push_back(e2e::controlText(b));
    EXPECT_EQ(buttons, std::vector<std::string>{"OK"});
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    return e2e::waitUntil([&] { return !::IsWindow(box); }, e2e::kPatienceMs) && shown == text;
}

std::vector<Call> ServerTest::callsOfRequest(const simboard::Words& words) {
    const std::uint64_t before = e2e::lastSeq();
    EXPECT_TRUE(request(words).ok());
    const std::vector<Call> all = calls(before);
    std::size_t first = all.size();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (simboard::isFlagAccess(all[i], "Read")) first = i;
    std::vector<Call> handled;
    for (std::size_t i = first; i < all.size(); ++i) {
        handled.push_back(all[i]);
        if (simboard::isFlagAccess(all[i], "Write")) break;
    }
    return handled;
}

}  // namespace server_e2e
