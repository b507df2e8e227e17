#include <windows.h>

#include <cstdint>

#include "support/NuMultiLang.h"
#include "support/RequiredExports.h"
#include "win32/Application.h"
#include "win32/ExportBinding.h"
#include "win32/Handles.h"
#include "win32/LibraryLoading.h"

namespace kelvane {
namespace {

#define KV_NUMULTILANG_EXPORTS(X)                                                               \
    X(NuTranslateStr, "NuTranslateStr", std::int32_t, (const wchar_t*, wchar_t*, std::int32_t)) \
    X(NuGetLangName, "NuGetLangName", std::int32_t, (wchar_t*, std::int32_t))

// "NuMultiLang.dll": loaded once, silently left unbound when it is missing or cannot be loaded.
class NuMultiLangBinding {
  public:
    NuMultiLangBinding() {
        m_module = win32::loadLibraryFile(libraryPath());
        if (m_module)
            KV_BIND_REQUIRED_EXPORTS_REPORTED_AT(KV_NUMULTILANG_EXPORTS, m_module.get(), "NuMultiLangDll.cpp",
                                                 70);
    }
    NuMultiLangBinding(const NuMultiLangBinding&) = delete;
    NuMultiLangBinding& operator=(const NuMultiLangBinding&) = delete;

    std::wstring translate(std::wstring_view key) const {
        if (!m_pNuTranslateStr) return std::wstring(key);
        return translateWithGrowingBuffer(
            key, [this](const wchar_t* text, wchar_t* buffer, std::int32_t capacity) {
                return m_pNuTranslateStr(text, buffer, capacity);
            });
    }

  private:
    static std::wstring libraryPath() { return win32::executableFolder() + L"NuMultiLang.dll"; }

    win32::UniqueModule m_module;
    KV_NUMULTILANG_EXPORTS(KV_DECLARE_EXPORT)
};

}  // namespace

std::wstring NuTranslate(std::wstring_view key) {
    static const NuMultiLangBinding& binding = *new NuMultiLangBinding;
    return binding.translate(key);
}

}  // namespace kelvane
