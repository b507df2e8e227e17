#include "win32/WindowWord.h"

#include <gtest/gtest.h>

#include "win32/Handles.h"

namespace win32 {
namespace {

TEST(WindowWord, AWindowSurvivesTheTripThroughItsWord) {
    UniqueWindow window(
        ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    const std::uint32_t word = wordFromWindow(window.get());
    EXPECT_EQ(windowFromWord(word), window.get());
    EXPECT_TRUE(::IsWindow(windowFromWord(word)));
}

TEST(WindowWord, TheHighBitOfTheWordExtendsAsWindowsDoes) {
    const auto value = reinterpret_cast<std::uintptr_t>(windowFromWord(0x80001234u));
    if constexpr (sizeof(HWND) == 8) {
        EXPECT_EQ(value, 0xFFFFFFFF80001234ull);  // 64-bit: sign-extended, as a 32-bit peer's handle is
    } else {
        EXPECT_EQ(value, 0x80001234u);
    }
    EXPECT_EQ(wordFromWindow(windowFromWord(0x80001234u)), 0x80001234u);
}

}  // namespace
}  // namespace win32
