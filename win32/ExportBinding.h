#pragma once
// Binding an outside library's entry points from one list of its exports and their signatures.
//
//   #define FOO_EXPORTS(X) X(FooInit, std::uint32_t, ()) X(FooSet, std::uint32_t, (std::uint32_t))
//   class Foo { ... FOO_EXPORTS(KV_DECLARE_EXPORT) };   // members m_pFooInit, m_pFooSet
//   bool all = true; FOO_EXPORTS(KV_BIND_EXPORT)       // needs `module` (HMODULE) and `all` in scope
//
// Where a member is named for its role rather than for its export, the list names both:
//
//   #define BAR_EXPORTS(X) X(BarInit, "Bar_Initialize", std::uint32_t, ())
//   class Bar { ... BAR_EXPORTS(KV_DECLARE_NAMED_EXPORT) };  // member m_pBarInit
//   BAR_EXPORTS(KV_BIND_NAMED_EXPORT)                        // needs `module` (HMODULE) in scope
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

#define KV_DECLARE_EXPORT(name, result, params) result(__stdcall* m_p##name) params = nullptr;
#define KV_BIND_EXPORT(name, result, params) all = ::win32::bindExport(module, #name, m_p##name) && all;
#define KV_CLEAR_EXPORT(name, result, params) m_p##name = nullptr;

#define KV_DECLARE_NAMED_EXPORT(member, exportName, result, params) \
    result(__stdcall* m_p##member) params = nullptr;
#define KV_BIND_NAMED_EXPORT(member, exportName, result, params) \
    ::win32::bindExport(module, exportName, m_p##member);
