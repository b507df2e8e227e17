#pragma once
// The owner of memory that a system call allocated for its caller to free with LocalFree (a
// security descriptor made from text, say).

#include <windows.h>

#include "win32/Handles.h"

namespace win32 {

using UniqueLocalMemory = Unique<HLOCAL, ::LocalFree>;

}  // namespace win32
