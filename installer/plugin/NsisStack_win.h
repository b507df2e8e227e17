#pragma once
// The NSIS plug-in interface, as NSIS documents it for plug-in DLLs: an exported C function
//   void __cdecl Name(HWND parent, int stringSize, wchar_t* variables, StackEntry** stack, void* extra)
// takes its parameters from NSIS's stack of strings (the first parameter on top) and leaves its
// results there. Each entry is one GlobalAlloc block: the link to the next, then stringSize characters.

#include <windows.h>

#include <string>
#include <vector>

#include "win32/Handles.h"

namespace setupkit::nsis {

struct StackEntry {
    StackEntry* next;
    wchar_t text[1];
};

using UniqueGlobalMemory = win32::Unique<HGLOBAL, ::GlobalFree>;

class Stack {
  public:
    Stack(int stringSize, StackEntry** top) : m_size(stringSize > 1 ? stringSize : 1), m_top(top) {}

    // The top string, taken off; "" when the stack is empty.
    std::wstring pop() {
        StackEntry* entry = m_top ? *m_top : nullptr;
        if (!entry) return {};
        *m_top = entry->next;
        const UniqueGlobalMemory owned(entry);
        std::size_t length = 0;
        while (length < m_size && entry->text[length]) ++length;
        return std::wstring(entry->text, length);
    }
    // The string on top, cut to NSIS's string size.
    void push(const std::wstring& text) {
        if (!m_top) return;
        auto* entry =
            static_cast<StackEntry*>(::GlobalAlloc(GPTR, sizeof(StackEntry) + m_size * sizeof(wchar_t)));
        if (!entry) return;
        const std::size_t length = std::min(text.size(), m_size - 1);
        std::copy_n(text.c_str(), length, entry->text);
        entry->text[length] = L'\0';
        entry->next = *m_top;
        *m_top = entry;
    }

  private:
    std::size_t m_size;
    StackEntry** m_top;
};

// What a function of the plug-in leaves on the stack for the script to pop, in this order: the
// status word, the values, the number of lines, the lines.
struct Reply {
    std::wstring status;
    std::vector<std::wstring> values;
    std::vector<std::wstring> lines;
};

inline void push(Stack& stack, const Reply& reply) {
    for (auto line = reply.lines.rbegin(); line != reply.lines.rend(); ++line) stack.push(*line);
    stack.push(std::to_wstring(reply.lines.size()));
    for (auto value = reply.values.rbegin(); value != reply.values.rend(); ++value) stack.push(*value);
    stack.push(reply.status);
}

}  // namespace setupkit::nsis
