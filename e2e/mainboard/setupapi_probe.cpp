// Counts the PCI display controllers that the Setup API lists, found the way the server finds them
// (every present device, compatible id "PCI\CC_0300"). The count is the exit code; -1 when the
// device list cannot be had.

#include <windows.h>
// clang-format off: setupapi.h needs windows.h first
#include <setupapi.h>
// clang-format on

#include <cwchar>

int main() {
    const HDEVINFO set = ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return -1;
    int displays = 0;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        wchar_t ids[1024] = {};
        if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_COMPATIBLEIDS, nullptr,
                                                 reinterpret_cast<BYTE*>(ids),
                                                 sizeof ids - 2 * sizeof(wchar_t), nullptr))
            continue;
        for (const wchar_t* id = ids; *id; id += std::wcslen(id) + 1) {
            if (std::wcscmp(id, L"PCI\\CC_0300") == 0) {
                ++displays;
                break;
            }
        }
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return displays;
}
