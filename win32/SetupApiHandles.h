#pragma once
// The owner of a Setup API device information list, apart from the other owners so that only the
// files that enumerate devices see <setupapi.h>.

#include <windows.h>

#include <setupapi.h>

#include "win32/Handles.h"

namespace win32 {

struct DeviceInfoListTraits {  // SetupDiDestroyDeviceInfoList; "none" is INVALID_HANDLE_VALUE
    using Handle = HDEVINFO;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static bool valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) { ::SetupDiDestroyDeviceInfoList(h); }
};
using UniqueDeviceInfoList = Unique<DeviceInfoListTraits>;

}  // namespace win32
