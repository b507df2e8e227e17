#pragma once
// Captions through the translation library "NuMultiLang.dll" beside the program. The library is
// loaded on the first translation and kept until the process ends.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kelvane {

// The translation of key, in UTF-16 like every caption. Without the library (missing or not
// loadable) the key itself is the caption; a library without one of its two exports stops the
// program with the assertion report "m_pNuTranslateStr != NULL && m_pNuGetLangName != NULL" of
// "NuMultiLangDll.cpp", line 70.
std::wstring NuTranslate(std::wstring_view key);

// One call of the library's NuTranslateStr: the zero-terminated key, a buffer and its capacity in
// UTF-16 units; the answer is the translation's length. A length of capacity - 1 or more means that
// the translation did not fit.
using TranslateCall = std::function<std::int32_t(const wchar_t* key, wchar_t* buffer, std::int32_t capacity)>;

inline constexpr std::int32_t kTranslateCapacityStep = 1024;
// The buffer grows no further: a library that never says the text fitted gets 64 calls, and the
// caption is what the last buffer holds.
inline constexpr std::int32_t kTranslateMaxCapacity = 64 * kTranslateCapacityStep;

// The translation through a buffer of 1024 units that grows by 1024 while the text does not fit.
// The buffer starts zeroed; the text ends at its first zero, or at its end when there is none,
// whatever length the library returned (the length only says whether to grow). A negative length
// gives the key itself.
std::wstring translateWithGrowingBuffer(std::wstring_view key, const TranslateCall& translate);

}  // namespace kelvane
