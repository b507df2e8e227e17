#include "support/Assertion.h"

#include <cstdio>
#include <cstdlib>

namespace kelvane {

void assertionFailed(const char* expression, const char* file, int line) {
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, file, line);
    std::abort();
}

}  // namespace kelvane
