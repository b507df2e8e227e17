#include "installer/plugin/ServerStart.h"

#include <gtest/gtest.h>

namespace setupkit {
namespace {

TEST(ServerStart, OnlyTheDesktopsShellStartsItAndOnlyForASignedInUser) {
    const struct {
        Starter starter;
        StartWay way = StartWay::NotStarted;
        const wchar_t* reasonPart = L"";
    } cases[] = {
        {{false, 1, true, true}, StartWay::ThroughDesktopShell, L""},
        {{false, 2, true, false}, StartWay::ThroughDesktopShell, L""},
        {{false, 1, false, true}, StartWay::WithShellToken, L""},  // the shell takes no requests
        {{true, 1, true, true}, StartWay::NotStarted, L"SYSTEM"},  // a deployment agent in a user's session
        {{true, 0, true, true}, StartWay::NotStarted, L"SYSTEM"},
        {{false, 0, true, true}, StartWay::NotStarted, L"session 0"},  // a service account
        {{false, 1, false, false}, StartWay::NotStarted, L"shell"},
    };
    for (const auto& c : cases) {
        const StartChoice choice = chooseServerStart(c.starter);
        EXPECT_EQ(choice.way, c.way) << c.starter.isLocalSystem << c.starter.session
                                     << c.starter.desktopShellFound << c.starter.shellTokenFound;
        EXPECT_NE(choice.reason.find(c.reasonPart), std::wstring::npos);
        if (c.way == StartWay::NotStarted) {
            EXPECT_NE(choice.reason.find(L"next logon starts it"), std::wstring::npos);
        }
    }
}

}  // namespace
}  // namespace setupkit
