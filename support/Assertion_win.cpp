#include "support/Assertion.h"
#include "win32/Application.h"

namespace kelvane {

void assertionFailed(const char* expression, const char* file, int line) {
    ::win32::assertionFailed(expression, file, line);
}

}  // namespace kelvane
