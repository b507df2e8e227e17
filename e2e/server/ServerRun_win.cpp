#include <gtest/gtest.h>

#include "e2e/server/ServerRun.h"
#include "win32/Text.h"

namespace server_e2e {

void ServerTest::SetUp() { machine.reset(); }

void ServerTest::layOut(bool withGearlink) {
    folder = std::make_unique<e2e::ProgramFolder>(
        win32::widen(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    folder->add(e2e::builtFile(L"bin\\kelvane.exe"), L"kelvane.exe");
    folder->add(e2e::builtFile(L"standins\\nuacpi.dll"), L"nuacpi.dll");
    folder->add(e2e::builtFile(L"standins\\novuservice.dll"), L"novuservice.dll");
    if (withGearlink) folder->add(e2e::builtFile(L"standins\\Gearlink.dll"), L"Gearlink.dll");
}

HWND ServerTest::start(bool waitForRegistration) {
    if (!folder) layOut();
    run = std::make_unique<e2e::ProgramRun>(*folder, L"kelvane.exe");
    const auto ready = [&] {
        form = run->findWindow("TForm1", "NOVU Kelvane Server");
        return form && (!waitForRegistration || !callsTo("NuSysSvr_RegisterNotify").empty());
    };
    EXPECT_TRUE(e2e::waitUntil([&] { return ready() || !run->running(); }, e2e::kStartTimeoutMs) && ready())
        << "the server did not start";
    return form;
}

simboard::LinkResult ServerTest::request(const simboard::Words& words, std::uint32_t lParam) {
    return console.request(words, kAnswerTimeoutMs, nullptr, lParam);
}

std::vector<Call> ServerTest::calls(std::uint64_t afterSeq) const { return e2e::callsOf(run->processId(), afterSeq); }

std::vector<Call> ServerTest::callsTo(const char* entry, std::uint64_t afterSeq) const {
    std::vector<Call> found;
    for (Call& c : calls(afterSeq))
        if (c.entry == entry) found.push_back(std::move(c));
    return found;
}

HWND ServerTest::control(kelvane::MainControl id) const { return ::GetDlgItem(form, static_cast<int>(id)); }

std::string ServerTest::waitForMemo(const std::string& expected) {
    std::string memo;
    e2e::waitUntil([&] { return (memo = e2e::controlText(control(kelvane::MainControl::Memo1))).find(expected) !=
                                std::string::npos; },
                   kAnswerTimeoutMs);
    return memo;
}

HWND ServerTest::waitForMessageBox(std::string& text) {
    HWND box = nullptr;
    e2e::waitUntil([&] { return (box = run->findWindow("#32770", nullptr)) != nullptr; }, kAnswerTimeoutMs);
    // The message is the box's one static control with text (the icon is a static without).
    for (HWND child = nullptr; box && (child = ::FindWindowExA(box, child, "Static", nullptr));) {
        std::string t = e2e::controlText(child);
        if (!t.empty()) text = std::move(t);
    }
    return box;
}

}  // namespace server_e2e
