#include "gpulib/LumbraLib.h"

namespace kelvane {

LumbraLibDll* LumbraLibAccess::GetLumbraLibDll() {
    if (!m_holder) {
        std::unique_ptr<LumbraLib> instance = m_newInstance();
        if (instance->Init() != 0) m_holder = std::make_unique<LumbraLibDll>(std::move(instance));
    }
    return m_holder.get();
}

bool LumbraLibAccess::IsItemSupported(std::uint32_t id) {
    LumbraLibDll* holder = GetLumbraLibDll();
    return holder && holder->IsItemSupported(id);
}

bool LumbraLibAccess::GetGGRPItemInfo(std::uint32_t id, GgrpItemInfo& info) {
    LumbraLibDll* holder = GetLumbraLibDll();
    return holder && holder->GetGGRPItemInfo(id, info);
}

bool LumbraLibAccess::SetItem(std::uint32_t id, std::int32_t stepNumber) {
    LumbraLibDll* holder = GetLumbraLibDll();
    return holder && holder->SetItem(id, stepNumber);
}

bool LumbraLibAccess::GetItem(std::uint32_t id, std::int32_t& stepNumber) {
    LumbraLibDll* holder = GetLumbraLibDll();
    return holder && holder->GetItem(id, stepNumber);
}

bool LumbraLibAccess::HasReadableItem(std::uint32_t id) {
    std::int32_t stepNumber = 0;
    return IsItemSupported(id) && GetItem(id, stepNumber);
}

}  // namespace kelvane
