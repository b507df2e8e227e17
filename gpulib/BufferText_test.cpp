#include "gpulib/BufferText.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(BufferText, EndsAtTheFirstZeroOrAtTheBuffersEnd) {
    const char terminated[8] = {'G', 'T', 'X', 0, 'j', 'u', 'n', 'k'};
    EXPECT_EQ(textUpToZero(std::span<const char>(terminated)), "GTX");
    char full[256];
    std::fill(std::begin(full), std::end(full), 'N');
    EXPECT_EQ(textUpToZero(std::span<const char>(full)), std::string(256, 'N'));
    wchar_t wide[256];
    std::fill(std::begin(wide), std::end(wide), L'R');
    EXPECT_EQ(textUpToZero(std::span<const wchar_t>(wide)), std::wstring(256, L'R'));
}

TEST(BufferText, RegistryListEndsAtAnEmptyTextOrTheBuffersEnd) {
    const std::uint8_t list[] = {'a', 0, 0xAC, 0x20, 0, 0, 'c', 0, 0, 0, 0, 0, 'z', 0};
    EXPECT_EQ(utf16TextList(list), (std::vector<std::wstring>{L"a\x20AC", L"c"}));
    const std::uint8_t unterminated[] = {'a', 0, 0, 0, 'b', 0, 'c', 0, 'd'};
    EXPECT_EQ(utf16TextList(unterminated), (std::vector<std::wstring>{L"a", L"bc"})) << "half a unit is none";
}

}  // namespace
}  // namespace kelvane
