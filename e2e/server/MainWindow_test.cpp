// The server end to end at start-up and through its main window, driven from another process.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <regex>

#include "e2e/server/ServerRun.h"
#include "protocol/ServerWindows.h"

namespace server_e2e {
namespace {

using kelvane::MainControl;

TEST_F(ServerTest, SecondInstanceEndsAtOnceWithoutAWindow) {
    ASSERT_TRUE(start());
    e2e::ProgramRun second(*folder, L"kelvane.exe");
    EXPECT_EQ(second.waitForExit(e2e::kPatienceMs), std::optional<DWORD>(0));
    EXPECT_EQ(second.findWindow(wire::kMainWindowClass, nullptr), nullptr);
    EXPECT_TRUE(e2e::callsOf(second.processId()).empty())
        << "the second instance never opened the ACPI device";
    EXPECT_TRUE(run->running());
    EXPECT_TRUE(request({0x10010000, 0, 0}).ok()) << "the first instance still answers";
}

TEST_F(ServerTest, StartUpOpensTheDeviceThreeSecondsBeforeSettingUpTheTrayAndRegistering) {
    ASSERT_TRUE(start());
    const std::vector<Call> all = calls();
    ASSERT_GE(all.size(), 6u);
    EXPECT_EQ(all[0].library, "nuacpi");
    EXPECT_EQ(all[0].entry, "Open");
    // The tray's menu: the translation library loaded, the three captions translated.
    std::vector<std::string> tray;
    for (std::size_t i = 1; i <= 4; ++i) tray.push_back(all[i].library + " " + all[i].entry);
    EXPECT_EQ(tray, (std::vector<std::string>{"NuMultiLang load", "NuMultiLang NuTranslateStr",
                                              "NuMultiLang NuTranslateStr", "NuMultiLang NuTranslateStr"}));
    EXPECT_GE(all[1].timeUs - all[0].timeUs, 2900000u);
    const Call& registration = all[5];
    EXPECT_EQ(registration.entry, "NuSysSvr_RegisterNotify");
    EXPECT_EQ(registration.args.at(1), 1u) << "registered with the remote-link client id";
    EXPECT_EQ(registration.args.at(0), static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(form)));
    EXPECT_FALSE(::IsWindowVisible(form)) << "the main window is never shown";
}

TEST_F(ServerTest, RefusedRegistrationIsRetriedEveryFiveSecondsUntilAccepted) {
    simboard::setFault(machine.state().faults.registrationRefusals, 3);  // start-up and two ticks
    ASSERT_TRUE(start());
    ASSERT_TRUE(
        e2e::waitUntil([&] { return callsTo("NuSysSvr_RegisterNotify").size() >= 4; }, e2e::kPatienceMs));
    ASSERT_TRUE(request({0x10010000, 0, 0}).ok()) << "notifications arrive once registered";
    // The journal is watched for one more attempt as long as a further tick would take.
    (void)e2e::waitUntil([&] { return callsTo("NuSysSvr_RegisterNotify").size() > 4; },
                         kRegistrationRetryMs + 1500);
    const std::vector<Call> attempts = callsTo("NuSysSvr_RegisterNotify");
    ASSERT_EQ(attempts.size(), 4u) << "no attempt after the accepted one";
    const std::int32_t results[] = {0, 0, 0, 1};
    std::vector<std::uint64_t> retriesUs;
    for (std::size_t i = 0; i < attempts.size(); ++i) {
        EXPECT_EQ(attempts[i].result, results[i]) << i;
        if (i > 0) retriesUs.push_back(attempts[i].timeUs);
    }
    e2e::expectPeriodicTicks(retriesUs, attempts[0].timeUs,
                             kRegistrationRetryMs);  // set after the first attempt
}

class SendButton : public ServerTest {
  protected:
    void click() {
        ::SetLastError(0xdeadbeef);
        ASSERT_NE(::SendMessageTimeoutW(control(MainControl::Button1), BM_CLICK, 0, 0, SMTO_NORMAL,
                                        e2e::kPatienceMs, nullptr),
                  0)
            << ::GetLastError();
    }
    void setEdit4(const wchar_t* text) {
        ::SendMessageW(control(MainControl::Edit4), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
};

TEST_F(SendButton, SendsEdit4ThroughTheBridgeInitialisedOnce) {
    ASSERT_TRUE(start());
    setEdit4(L"0x1234");
    click();
    setEdit4(L"77");
    click();
    std::vector<std::string> bridge;
    std::vector<std::uint32_t> sent;
    for (const Call& c : calls()) {
        if (c.library != "Gearlink") continue;
        bridge.push_back(c.entry);
        if (c.entry == "SetControlData") sent.push_back(c.args.at(0));
    }
    EXPECT_EQ(bridge, (std::vector<std::string>{"VeloGearInit", "SetControlData", "SetControlFunction",
                                                "SetControlData", "SetControlFunction"}));
    EXPECT_EQ(sent, (std::vector<std::uint32_t>{0x1234, 77}));
    EXPECT_EQ(callsTo("SetControlFunction").at(0).args.at(0), 0u);
    const std::string memo = waitForMemo("77\r\nSend OK");
    EXPECT_NE(memo.find("4660\r\nSend OK\r\nflag = 0\r\n77\r\nSend OK\r\nflag = 0\r\n"), std::string::npos)
        << memo;
}

TEST_F(SendButton, EmptyEdit4IsFilledWithARandomHexNumberThatIsSent) {
    ASSERT_TRUE(start());
    setEdit4(L"");
    click();
    const std::string text = e2e::controlText(control(MainControl::Edit4));
    ASSERT_TRUE(std::regex_match(text, std::regex("0x0000[0-9a-f]{1,4}"))) << text;
    const std::uint32_t value = std::stoul(text.substr(2), nullptr, 16);
    EXPECT_LE(value, 65534u);
    const std::vector<Call> sent = callsTo("SetControlData");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].args.at(0), value);
}

TEST_F(SendButton, FailedOrImpossibleSendsAreLoggedAsSuch) {
    simboard::setFault(machine.state().faults.gearlinkSendFails, 1);
    ASSERT_TRUE(start());
    setEdit4(L"5");
    click();
    EXPECT_NE(waitForMemo("Send fail").find("5\r\nSend fail\r\nflag = 0\r\n"), std::string::npos);
}

TEST_F(SendButton, WithoutTheBridgeLibraryNothingIsSent) {
    layOut({.withGearlink = false});
    ASSERT_TRUE(start());
    setEdit4(L"5");
    click();
    EXPECT_NE(waitForMemo("Send fail").find("5\r\nSend fail\r\nflag = 0\r\n"), std::string::npos);
    for (const Call& c : calls()) EXPECT_NE(c.library, "Gearlink");
}

TEST_F(SendButton, TextThatIsNotANumberIsReportedAndNothingIsSent) {
    ASSERT_TRUE(start());
    setEdit4(L"12zz");
    ::PostMessageW(control(MainControl::Button1), BM_CLICK, 0, 0);  // the report is modal
    std::string text;
    HWND box = waitForMessageBox(text);
    ASSERT_TRUE(box) << "no error report";
    EXPECT_EQ(text, "'12zz' is not a valid integer value");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(e2e::waitUntil([&] { return !::IsWindow(box); }, e2e::kPatienceMs));
    EXPECT_TRUE(request({0x10010000, 0, 0}).ok()) << "the server runs on";
    for (const Call& c : calls()) EXPECT_NE(c.library, "Gearlink");
}

TEST_F(ServerTest, TrackBarPositionIsShownInItsEdit) {
    ASSERT_TRUE(start());
    HWND bar = control(MainControl::TrackBar3);
    for (int position : {1350, 2000}) {
        ::SendMessageW(bar, TBM_SETPOS, TRUE, position);
        ::SendMessageW(form, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                       reinterpret_cast<LPARAM>(bar));
        EXPECT_EQ(e2e::controlText(control(MainControl::Edit6)), std::to_string(position));
    }
}

}  // namespace
}  // namespace server_e2e
