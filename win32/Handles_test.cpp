#include "win32/Handles.h"
#include "win32/SetupApiHandles.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace win32 {
namespace {

bool isOpen(HANDLE h) {
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) != FALSE;
}

static_assert(!std::is_copy_constructible_v<UniqueHandle> && !std::is_copy_assignable_v<UniqueHandle>);
static_assert(std::is_nothrow_move_constructible_v<UniqueHandle> &&
              std::is_nothrow_move_assignable_v<UniqueHandle>);
static_assert(!std::is_copy_constructible_v<UniqueModule> && !std::is_copy_constructible_v<WindowDC>);

TEST(UniqueHandle, ClosesOnceWhenTheLastOwnerGoes) {
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(raw);
    {
        UniqueHandle first(raw);
        UniqueHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        EXPECT_TRUE(isOpen(raw));
    }
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(isOpen(raw));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(UniqueHandle, MoveAssignmentClosesWhatItHeld) {
    HANDLE a = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE b = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    UniqueHandle holderA(a), holderB(b);
    holderA = std::move(holderB);
    EXPECT_FALSE(isOpen(a));
    EXPECT_TRUE(isOpen(b));
    holderA = std::move(holderA);  // self-move keeps the handle
    EXPECT_TRUE(isOpen(b));
}

TEST(UniqueHandle, InvalidHandleValueCountsAsNone) {
    ::SetLastError(0xdeadbeef);
    UniqueHandle file(
        ::CreateFileW(L"Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_NE(::GetLastError(), 0xdeadbeefu);
    EXPECT_FALSE(file);
}

TEST(UniqueModule, ReleaseHandsOwnershipOver) {
    UniqueModule module(::LoadLibraryW(L"version.dll"));
    ASSERT_TRUE(module);
    HMODULE raw = module.release();
    EXPECT_FALSE(module);
    EXPECT_TRUE(::FreeLibrary(raw));
}

TEST(UniqueDeviceInfoList, InvalidHandleValueCountsAsNone) {
    UniqueDeviceInfoList none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);
    UniqueDeviceInfoList list(::SetupDiCreateDeviceInfoList(nullptr, nullptr));
    ASSERT_TRUE(list);
    UniqueDeviceInfoList moved(std::move(list));
    EXPECT_FALSE(list);
    EXPECT_TRUE(moved);
    SP_DEVINFO_LIST_DETAIL_DATA_W detail{};
    detail.cbSize = sizeof detail;
    EXPECT_TRUE(::SetupDiGetDeviceInfoListDetailW(moved.get(), &detail));
}

TEST(WindowDC, GivesTheContextBackToItsWindow) {
    WindowDC dc(nullptr);  // the screen
    ASSERT_TRUE(dc);
    EXPECT_GT(::GetDeviceCaps(dc.get(), BITSPIXEL), 0);
    WindowDC moved(std::move(dc));
    EXPECT_FALSE(dc);
    EXPECT_TRUE(moved);
}

}  // namespace
}  // namespace win32
