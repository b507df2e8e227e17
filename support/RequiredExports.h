#pragma once
// Binding a library that must have every export of its list (win32/ExportBinding.h): one missing
// stops the program with the assertion report of the all-bound check that the list spells out.

#include "support/Assertion.h"
#include "win32/ExportBinding.h"

#define KV_BIND_REQUIRED_EXPORTS(LIST, module) \
    KV_BIND_REQUIRED_EXPORTS_REPORTED_AT(LIST, module, __FILE__, __LINE__)

// The same, the report naming the source module and line that earlier releases named.
#define KV_BIND_REQUIRED_EXPORTS_REPORTED_AT(LIST, module, file, line) \
    KV_VERIFY_REPORTED_AT(KV_BIND_EXPORTS(LIST, module), KV_ALL_BOUND_TEXT(LIST), file, line)
