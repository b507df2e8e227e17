#pragma once
// Binding an outside library's entry points from one list of its exports: each entry names the
// member (m_p + role), the export and its signature. Everything else is derived from the list.
//
//   #define FOO_EXPORTS(X) X(FooInit, "Foo_Initialize", std::uint32_t, ()) X(FooSet, "FooSet", void, (int))
//   class Foo { ... FOO_EXPORTS(KV_DECLARE_EXPORT) };        // members m_pFooInit, m_pFooSet
//   const bool all = KV_BIND_EXPORTS(FOO_EXPORTS, module);   // binds each, true when none is missing
//   KV_ALL_BOUND_TEXT(FOO_EXPORTS)   // "m_pFooInit != NULL && m_pFooSet != NULL", for reports
//
// Entry points use the standard Win32 calling convention. callBound calls one if it is bound.

#include <windows.h>

#include <cstdint>
#include <utility>

namespace win32 {

template <typename Function>
bool bindExport(HMODULE module, const char* name, Function*& slot) {
    slot = reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return slot != nullptr;
}

// The entry point's result, or a zero result (and no call) while it is not bound.
template <typename Result, typename... Params, typename... Args>
Result callBound(Result(__stdcall* entry)(Params...), Args&&... args) {
    if (!entry) return Result();
    return entry(std::forward<Args>(args)...);
}

// A yes-or-no answer of an outside library: only the low byte counts.
inline bool lowByteSet(std::uint32_t result) { return (result & 0xFF) != 0; }

}  // namespace win32

#define KV_DECLARE_EXPORT(member, exportName, result, params) result(__stdcall* m_p##member) params = nullptr;
#define KV_BIND_EXPORT(member, exportName, result, params) \
    ::win32::bindExport(kvModule, exportName, m_p##member);
#define KV_EXPORT_BOUND(member, exportName, result, params) &&m_p##member != nullptr
#define KV_EXPORT_BOUND_TEXT(member, exportName, result, params) " && m_p" #member " != NULL"
#define KV_CLEAR_EXPORT(member, exportName, result, params) m_p##member = nullptr;

#define KV_BIND_EXPORTS(LIST, module) \
    [&](HMODULE kvModule) { LIST(KV_BIND_EXPORT) return true LIST(KV_EXPORT_BOUND); }(module)
#define KV_ALL_BOUND_TEXT(LIST) (LIST(KV_EXPORT_BOUND_TEXT) + 4)
#define KV_CLEAR_EXPORTS(LIST) LIST(KV_CLEAR_EXPORT)
