#include <span>

#include "gpulib/BackendBinding.h"
#include "gpulib/BufferText.h"
#include "gpulib/RedcardDll.h"
#include "win32/Application.h"
#include "win32/LibraryLoading.h"

namespace kelvane {

RedcardDll& GetRedcardDll() {
    static RedcardDll& binding = *new RedcardDll;  // never destroyed: the library stays loaded
    return binding;
}

std::wstring RedcardDll::GetLibraryPath() const {
    return win32::executableFolder() + (m_fileName.empty() ? L"Redcard.dll" : m_fileName);
}

bool RedcardDll::Load() {
    if (m_module) return true;
    m_module = win32::loadLibraryFile(
        GetLibraryPath(), [](win32::LoadFailure failure, const std::wstring& path, DWORD error) {
            if (failure == win32::LoadFailure::FileMissing)
                win32::showMessage(L"Can not find " + path, kLoadLibraryErrorCaption);
            else
                win32::showMessage(
                    L"Load Redcard.dll failed: GetLastError return " + std::to_wstring(error) + L"\n",
                    L"GetLastError");
        });
    if (!m_module) return false;
    KV_BIND_REQUIRED_EXPORTS(KV_REDCARD_EXPORTS, m_module.get());
    return true;
}

std::int32_t RedcardDll::Init() { return Load() ? m_pAmdInit() : 1; }

std::int32_t RedcardDll::Amd_GetGpuCount() { return win32::callBound(m_pAmdGetGpuCount); }

bool RedcardDll::Amd_GetGpuName(std::int32_t index, std::wstring& name) {
    if (!m_pAmdGetGpuName) return false;
    wchar_t buffer[256] = {};  // 512 bytes; the library is not told its size
    const bool named = win32::lowByteSet(m_pAmdGetGpuName(index, buffer));
    name = textUpToZero(std::span<const wchar_t>(buffer));
    return named;
}

std::int32_t RedcardDll::Amd_GetGpuAdapterID(std::int32_t index) {
    return win32::callBound(m_pAmdGetGpuAdapterID, index);
}

std::int32_t RedcardDll::Amd_GetGpuConnected(std::int32_t index) {
    return win32::callBound(m_pAmdGetGpuConnected, index);
}

bool RedcardDll::Amd_GetGpuClockInfo(std::int32_t index, AmdClockInfo& info) {
    return win32::lowByteSet(win32::callBound(m_pAmdGetGpuClock, index, &info));
}

bool RedcardDll::Amd_SetGpuClockInfo(std::int32_t index, const AmdClockInfo& info) {
    return win32::lowByteSet(win32::callBound(m_pAmdSetGpuClock, index, info));
}

bool RedcardDll::Amd_IsIntegrated(std::int32_t index) {
    return win32::lowByteSet(win32::callBound(m_pAmdIsIntegrated, index));
}

std::int32_t RedcardDll::Amd_GetGpuUsage(std::int32_t index) {
    return win32::callBound(m_pAmdGetGpuUsage, index);
}

void RedcardDll::Amd_UnInitialize() { win32::callBound(m_pAmdUnInit); }

std::int32_t RedcardDll::Amd_GetGpuFreq(std::int32_t index) {
    return win32::callBound(m_pAmdGetGpuFreq, index);
}

}  // namespace kelvane
