#include "win32/DebugOutput.h"

#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

namespace win32 {
namespace {

int threadsOfThisProcess() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++count;
    ::CloseHandle(snapshot);
    return count;
}

// The end of a program that wrote no line starts no writer thread (one caught half made by the
// process's end takes the exit code with it); the first line starts it.
TEST(DebugOutputWriter, StartsWithTheFirstLineAndNotAtTheEndOfAProgramThatWroteNone) {
    const int before = threadsOfThisProcess();
    ASSERT_GT(before, 0);
    EXPECT_TRUE(finishDebugOutput());
    EXPECT_EQ(threadsOfThisProcess(), before);

    queueDebugOutput(L"a line");
    EXPECT_TRUE(finishDebugOutput());
    EXPECT_EQ(threadsOfThisProcess(), before + 1);
}

}  // namespace
}  // namespace win32
