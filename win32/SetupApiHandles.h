#pragma once
// The owner of a Setup API device information list, apart from the other owners so that only the
// files that enumerate devices see <setupapi.h>.

#include <windows.h>

#include <setupapi.h>

#include "win32/Handles.h"

namespace win32 {

using UniqueDeviceInfoList = Unique<HDEVINFO, ::SetupDiDestroyDeviceInfoList, NoneIs::invalidValueOrNull>;

}  // namespace win32
