#include <windows.h>

#include <string>

#include "mainboard/machine/BoardSetupApi.h"

namespace simboard {

namespace {

std::wstring overridesKey(std::wstring_view program) {
    return L"Software\\Wine\\AppDefaults\\" + std::wstring(program) + L"\\DllOverrides";
}

}  // namespace

bool preferBoardSetupApi(std::wstring_view programFileName) {
    constexpr wchar_t kNative[] = L"native";
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, overridesKey(programFileName).c_str(), L"setupapi", REG_SZ,
                             kNative, sizeof kNative) == ERROR_SUCCESS;
}

bool forgetBoardSetupApi(std::wstring_view programFileName) {
    return ::RegDeleteKeyValueW(HKEY_CURRENT_USER, overridesKey(programFileName).c_str(), L"setupapi") ==
           ERROR_SUCCESS;
}

}  // namespace simboard
