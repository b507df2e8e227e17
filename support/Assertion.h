#pragma once
// Assertions of the portable libraries. They stay active in the shipped program: a failed one is
// reported with its expression, file and line, and ends the program (in a Windows program, with the
// standard stop-sign report of the Win32 layer).

namespace kelvane {

[[noreturn]] void assertionFailed(const char* expression, const char* file, int line);

}  // namespace kelvane

#define KV_VERIFY(expression) \
    ((expression) ? static_cast<void>(0) : ::kelvane::assertionFailed(#expression, __FILE__, __LINE__))

// The same report for a check whose wording users and support already know from earlier releases:
// the condition is evaluated as written, the report shows the established wording.
#define KV_VERIFY_AS(expression, wording) \
    ((expression) ? static_cast<void>(0) : ::kelvane::assertionFailed(wording, __FILE__, __LINE__))
