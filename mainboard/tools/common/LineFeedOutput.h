#pragma once
// The board's tools are read by shell scripts and people at a Linux shell: their lines end in LF alone,
// not in the C runtime's CR LF (a stray CR defeats grep, cut and string comparisons).

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace simboard {

inline void printWithLineFeeds() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace simboard
