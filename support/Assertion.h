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
#define KV_VERIFY_AS(expression, wording) KV_VERIFY_REPORTED_AT(expression, wording, __FILE__, __LINE__)

// A report that a broken installation reaches, which support knows by the source module and line
// that earlier releases named (the module's name as a source file name, "PngReader.cpp", 88).
#define KV_VERIFY_REPORTED_AT(expression, wording, file, line) \
    ((expression) ? static_cast<void>(0) : ::kelvane::assertionFailed(wording, file, line))
