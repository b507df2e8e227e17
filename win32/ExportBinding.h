#pragma once
// Binding an outside library's entry points from one list of its exports and their signatures.
//
//   #define FOO_EXPORTS(X) X(FooInit, std::uint32_t, ()) X(FooSet, std::uint32_t, (std::uint32_t))
//   class Foo { ... FOO_EXPORTS(KV_DECLARE_EXPORT) };   // members m_pFooInit, m_pFooSet
//   bool all = true; FOO_EXPORTS(KV_BIND_EXPORT)       // needs `module` (HMODULE) and `all` in scope

#include <windows.h>

#include <string>

namespace win32 {

template <typename Function>
bool bindExport(HMODULE module, const char* name, Function*& slot) {
    slot = reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return slot != nullptr;
}

}  // namespace win32

#define KV_DECLARE_EXPORT(name, result, params) result(__stdcall* m_p##name) params = nullptr;
#define KV_BIND_EXPORT(name, result, params) all = ::win32::bindExport(module, #name, m_p##name) && all;
#define KV_CLEAR_EXPORT(name, result, params) m_p##name = nullptr;
