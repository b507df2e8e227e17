// One server per machine: a start that finds the session's or the machine's mutex taken, or may not
// open it, ends quietly; the server that runs holds the machine's mutex where any user may wait on it.

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include "e2e/server/ServerRun.h"
#include "protocol/SingleInstance.h"
#include "win32/LocalMemory.h"

namespace server_e2e {
namespace {

// A mutex held by the test, made with an access list (SDDL) or, without one, the default list.
win32::UniqueHandle holdMutex(const wchar_t* name, const wchar_t* access) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (access) {
        EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(access, SDDL_REVISION_1,
                                                                           &descriptor, nullptr));
    }
    const win32::UniqueLocalMemory descriptorOwner(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    return win32::UniqueHandle(::CreateMutexW(&attributes, FALSE, name));
}

using SingleInstance = ServerTest;

TEST_F(SingleInstance, ASecondStartEndsQuietlyWhileEitherMutexIsTakenOrDenied) {
    // As a server of another account, or one started with other rights, leaves it to this user.
    constexpr wchar_t kSystemOnly[] = L"D:(A;;0x001F0001;;;SY)";
    struct Case {
        const char* what;
        const wchar_t* name;
        const wchar_t* access;
    };
    const Case cases[] = {
        {"another session's server: the machine's mutex and no window", wire::kMachineServerMutexName,
         nullptr},
        {"the machine's mutex, denied to this user", wire::kMachineServerMutexName, kSystemOnly},
        {"the session's mutex, denied to this user", wire::kSessionServerMutexName, kSystemOnly},
    };
    layOut();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const win32::UniqueHandle held = holdMutex(c.name, c.access);
        ASSERT_TRUE(held);
        e2e::ProgramRun second(*folder, L"kelvane.exe");
        EXPECT_EQ(second.waitForExit(e2e::kPatienceMs), 0u);
        EXPECT_TRUE(e2e::callsOf(second.processId()).empty()) << "it went on with its start-up";
    }

    // Neither taken: the server starts, and holds the machine's mutex where any user may wait on it;
    // a start beside it ends as quietly.
    start();
    EXPECT_TRUE(win32::UniqueHandle(::OpenMutexW(SYNCHRONIZE, FALSE, wire::kMachineServerMutexName)));
    e2e::ProgramRun second(*folder, L"kelvane.exe");
    EXPECT_EQ(second.waitForExit(e2e::kPatienceMs), 0u);
    EXPECT_TRUE(e2e::callsOf(second.processId()).empty());
    EXPECT_TRUE(run->running());
}

}  // namespace
}  // namespace server_e2e
