#pragma once
// The owner of memory that a system call allocated for its caller to free with LocalFree (a
// security descriptor made from text, say).

#include <windows.h>

#include "win32/Handles.h"

namespace win32 {

struct LocalMemoryTraits {  // LocalFree
    using Handle = HLOCAL;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::LocalFree(h); }
};
using UniqueLocalMemory = Unique<LocalMemoryTraits>;

}  // namespace win32
