#pragma once
// What the three vendor back-end bindings share: the caption of their load messages, and binding a
// library that must have every export of its list (support/RequiredExports.h).

#include "support/RequiredExports.h"

namespace kelvane {

inline constexpr wchar_t kLoadLibraryErrorCaption[] = L"LoadLibrary Error";

}  // namespace kelvane
