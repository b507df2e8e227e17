#pragma once
// Binding a library that must have every export of its list (win32/ExportBinding.h): one missing
// stops the program with the assertion report of the all-bound check that the list spells out.

#include "support/Assertion.h"
#include "win32/ExportBinding.h"

#define KV_BIND_REQUIRED_EXPORTS(LIST, module) \
    (KV_BIND_EXPORTS(LIST, module)             \
         ? static_cast<void>(0)                \
         : ::kelvane::assertionFailed(KV_ALL_BOUND_TEXT(LIST), __FILE__, __LINE__))
