#pragma once
// What the three vendor back-end bindings share: the caption of their load messages, and binding a
// library that must have every export of its list.

#include "support/Assertion.h"
#include "win32/ExportBinding.h"

namespace kelvane {

inline constexpr wchar_t kLoadLibraryErrorCaption[] = L"LoadLibrary Error";

}  // namespace kelvane

// Binds every export of LIST from module; one missing stops the program with the assertion report
// of the all-bound check that the list spells out.
#define KV_BIND_REQUIRED_EXPORTS(LIST, module) \
    (KV_BIND_EXPORTS(LIST, module)             \
         ? static_cast<void>(0)                \
         : ::kelvane::assertionFailed(KV_ALL_BOUND_TEXT(LIST), __FILE__, __LINE__))
