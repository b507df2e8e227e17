#include "gpulib/LumbraLibImp.h"

#include "gpulib/BackendBinding.h"
#include "win32/Application.h"
#include "win32/LibraryLoading.h"

namespace kelvane {

LumbraLibAccess& GetLumbraLibAccess() {
    static LumbraLibAccess& access = *new LumbraLibAccess([] { return std::make_unique<LumbraLibImp>(); });
    return access;
}

std::uint8_t LumbraLibImp::Init() {
    m_module =
        win32::loadLibraryFile(win32::executableFolder() + L"Lumbra.dll",
                               [](win32::LoadFailure failure, const std::wstring& path, DWORD) {
                                   if (failure == win32::LoadFailure::NotLoadable)
                                       win32::showMessage(L"Can not load " + path, kLoadLibraryErrorCaption);
                               });
    if (!m_module) return 0;
    KV_BIND_REQUIRED_EXPORTS(KV_LUMBRA_EXPORTS, m_module.get());
    return static_cast<std::uint8_t>(m_pLumbraInit() & 0xFF);
}

bool LumbraLibImp::IsItemSupported(std::uint32_t id) {
    return win32::lowByteSet(win32::callBound(m_pLumbraIsSupport, id));
}

bool LumbraLibImp::GetGGRPItemInfo(std::uint32_t id, GgrpItemInfo& info) {
    return win32::lowByteSet(win32::callBound(m_pLumbraGGRPItemInfo, id, &info));
}

bool LumbraLibImp::SetItem(std::uint32_t id, std::int32_t stepNumber) {
    return win32::lowByteSet(win32::callBound(m_pLumbraSetItem, id, stepNumber));
}

bool LumbraLibImp::GetItem(std::uint32_t id, std::int32_t& stepNumber) {
    return win32::lowByteSet(win32::callBound(m_pLumbraGetItem, id, &stepNumber));
}

}  // namespace kelvane
