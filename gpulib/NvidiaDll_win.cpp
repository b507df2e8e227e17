#include <span>

#include "gpulib/BackendBinding.h"
#include "gpulib/BufferText.h"
#include "gpulib/NvidiaDll.h"
#include "win32/Application.h"
#include "win32/LibraryLoading.h"

namespace kelvane {

IGPUNvidiaDll& GetNvidiaDll() {
    static IGPUNvidiaDll& binding = *new IGPUNvidiaDll;  // never destroyed: the library stays loaded
    return binding;
}

std::wstring IGPUNvidiaDll::GetLibraryPath() const {
    return win32::executableFolder() + (m_fileName.empty() ? L"Greencard.dll" : m_fileName);
}

bool IGPUNvidiaDll::Load() {
    if (m_module) return true;
    m_module = win32::loadLibraryFile(GetLibraryPath(), [](win32::LoadFailure failure,
                                                           const std::wstring& path, DWORD) {
        if (failure == win32::LoadFailure::FileMissing)
            win32::showMessage(L"Can not find " + path, kLoadLibraryErrorCaption);
        else
            win32::showMessage(L"Can not load " + path + L". Program will abort", kLoadLibraryErrorCaption);
    });
    if (!m_module) return false;
    KV_BIND_REQUIRED_EXPORTS(KV_GREENCARD_EXPORTS, m_module.get());
    return true;
}

std::uint8_t IGPUNvidiaDll::Init() { return Load() ? static_cast<std::uint8_t>(m_pNvInit() & 0xFF) : 0; }

bool IGPUNvidiaDll::Nv_GetGPUCount(std::uint32_t& count) {
    return win32::lowByteSet(win32::callBound(m_pNvGetGPUCount, &count));
}

bool IGPUNvidiaDll::Nv_GetGPUName(std::int32_t index, std::string& name) {
    if (!m_pNvGetGPUName) return false;
    char buffer[256] = {};  // the library is not told its size
    const bool named = win32::lowByteSet(m_pNvGetGPUName(index, buffer));
    name = textUpToZero(std::span<const char>(buffer));
    return named;
}

bool IGPUNvidiaDll::Nv_GetGPUClockInfoPStates(std::int32_t index, NvClockInfo& record) {
    return win32::lowByteSet(win32::callBound(m_pNvGetGPUClockCurrentPStates, index, &record));
}

bool IGPUNvidiaDll::Nv_SetGPUClockInfoPStates(std::int32_t index, const NvClockInfo& record) {
    return win32::lowByteSet(win32::callBound(m_pNvSetGPUClockInfoPStates, index, record));
}

bool IGPUNvidiaDll::Nv_GetGPUFan(std::int32_t index, NvClockInfo& record) {
    return win32::lowByteSet(win32::callBound(m_pNvGetGPUFan, index, &record));
}

bool IGPUNvidiaDll::Nv_SetGPUFan(std::int32_t index, const NvClockInfo& record) {
    return win32::lowByteSet(win32::callBound(m_pNvSetGPUFan, index, record));
}

void IGPUNvidiaDll::Nv_UnInitialize() { win32::callBound(m_pNvUnInitialize); }

}  // namespace kelvane
