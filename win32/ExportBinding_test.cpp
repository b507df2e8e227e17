#include "win32/ExportBinding.h"

#include <gtest/gtest.h>

namespace win32 {
namespace {

// kernel32 with one export of its own and one it lacks.
#define KV_TEST_EXPORTS(X)                     \
    X(Tick, "GetTickCount", DWORD, ())         \
    X(SetError, "SetLastError", void, (DWORD)) \
    X(Missing, "NoSuchExportAnywhere", std::uint32_t, (std::uint32_t))

struct Kernel32 {
    KV_TEST_EXPORTS(KV_DECLARE_EXPORT)
    bool all = false;

    explicit Kernel32(HMODULE module) { all = KV_BIND_EXPORTS(KV_TEST_EXPORTS, module); }
};

#define KV_TEST_PRESENT_EXPORTS(X) \
    X(Tick, "GetTickCount", DWORD, ()) X(SetError, "SetLastError", void, (DWORD))

struct Kernel32Present {
    KV_TEST_PRESENT_EXPORTS(KV_DECLARE_EXPORT)
    bool bind(HMODULE module) { return KV_BIND_EXPORTS(KV_TEST_PRESENT_EXPORTS, module); }
};

TEST(ExportBinding, NamedExportsBindToTheirMembersAndMissingOnesStayNull) {
    Kernel32 kernel32(::GetModuleHandleW(L"kernel32.dll"));
    EXPECT_NE(kernel32.m_pTick, nullptr);
    EXPECT_NE(kernel32.m_pSetError, nullptr);
    EXPECT_EQ(kernel32.m_pMissing, nullptr);
    EXPECT_FALSE(kernel32.all) << "one missing export makes the library incomplete";

    ::SetLastError(0);
    callBound(kernel32.m_pSetError, 0xdeadbeefu);
    EXPECT_EQ(::GetLastError(), 0xdeadbeefu) << "a bound entry point is called with its arguments";
    EXPECT_EQ(callBound(kernel32.m_pMissing, 5u), 0u) << "an unbound one is not called and answers 0";
}

TEST(ExportBinding, TheAllBoundCheckIsSpelledFromTheList) {
    EXPECT_STREQ(KV_ALL_BOUND_TEXT(KV_TEST_EXPORTS),
                 "m_pTick != NULL && m_pSetError != NULL && m_pMissing != NULL");
    EXPECT_TRUE(Kernel32Present().bind(::GetModuleHandleW(L"kernel32.dll")));
}

TEST(ExportBinding, OnlyTheLowByteOfAnAnswerCounts) {
    EXPECT_TRUE(lowByteSet(1));
    EXPECT_TRUE(lowByteSet(0xFFFFFF80));
    EXPECT_FALSE(lowByteSet(0x100));
    EXPECT_FALSE(lowByteSet(0));
}

}  // namespace
}  // namespace win32
