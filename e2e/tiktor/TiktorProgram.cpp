#include "e2e/tiktor/TiktorProgram.h"

#include <gtest/gtest.h>

#include "protocol/Broadcast.h"

namespace tiktor_e2e {

HWND TiktorRun::waitUntilReady(DWORD timeoutMs) {
    HWND dialog = nullptr;
    const auto registered = [&] {
        for (const Call& call : callsOf(processId())) {
            if (call.entry == "NuWMI_RegisterEvent") return true;
        }
        return false;
    };
    // The dialog exists before it initialises; registration is the last outside call of its start.
    if (!waitUntil(
            [&] {
                return ((dialog = findWindow(L"#32770", L"Tiktor Tester")) && registered()) || !running();
            },
            timeoutMs) ||
        !dialog) {
        return nullptr;
    }
    // A sent message is handled only once the dialog's thread takes messages again: in its modal loop.
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored) ? dialog : nullptr;
}

UINT broadcastMessage() { return ::RegisterWindowMessageA(wire::kHardwareBroadcastName); }

void broadcastRequest(WPARAM wParam, LPARAM lParam) {
    ::SetLastError(0xdeadbeef);
    EXPECT_TRUE(::PostMessageA(HWND_BROADCAST, broadcastMessage(), wParam, lParam)) << ::GetLastError();
}

std::vector<std::uint32_t> clockValuesOf(DWORD processId) {
    std::vector<std::uint32_t> values;
    for (const Call& call : callsOf(processId)) {
        if (call.library == "Ticksmith" && call.entry == "SetClock" && call.args.size() == 1) {
            values.push_back(call.args[0]);
        }
    }
    return values;
}

}  // namespace tiktor_e2e
