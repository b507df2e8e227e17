#include "mainboard/tools/common/RemoteConsole.h"

#include <cstdio>

#include "win32/WindowWord.h"

namespace simboard {

namespace {

LinkResult failure(LinkStatus status, std::string why) { return {status, {}, std::move(why)}; }

// Waits for the flag to clear: spins briefly (answers usually come within a few hundred µs), then
// yields, then sleeps so that a long wait does not hold a core.
bool waitForFlagClear(const std::uint32_t& flag, DWORD timeoutMs) {
    const ULONGLONG start = ::GetTickCount64();
    for (unsigned round = 0;; ++round) {
        if (loadWord(flag) == 0) return true;
        if (round < 64) {
            YieldProcessor();
            continue;
        }
        const ULONGLONG waited = ::GetTickCount64() - start;
        if (waited > timeoutMs) return false;
        if (waited < 50)
            ::SwitchToThread();
        else
            ::Sleep(1);
    }
}

}  // namespace

HWND RemoteConsole::serverWindow(std::string& why) const {
    const auto registered = loadWord(m_machine.state().notify.window);
    if (registered == 0) {
        why = "no server has registered for remote-link notifications";
        return nullptr;
    }
    HWND window = win32::windowFromWord(registered);
    if (!::IsWindow(window)) {
        why = "the window registered for remote-link notifications no longer exists (is the server running?)";
        return nullptr;
    }
    return window;
}

LinkResult RemoteConsole::request(const Words& words, DWORD timeoutMs, HWND target, std::uint32_t lParam) {
    std::string why;
    if (!target && !(target = serverWindow(why))) return failure(LinkStatus::NoServer, why);
    stage(words);
    return notifyAndWait(timeoutMs, target, lParam);
}

void RemoteConsole::stage(const Words& words, std::uint32_t flag) {
    RegisterBankState& r = m_machine.state().registers;
    for (int i = 0; i < 3; ++i) storeWord(r.words[i], words[i]);
    storeWord(r.flag, flag);  // last: the request is complete once the flag says so
}

LinkResult RemoteConsole::notifyAndWait(DWORD timeoutMs, HWND target, std::uint32_t lParam) {
    RegisterBankState& r = m_machine.state().registers;
    if (!::PostMessageW(target, wire::kRemoteNotifyMessage, wire::kRemoteNotifyWParam,
                        static_cast<LPARAM>(lParam))) {
        return failure(LinkStatus::NoServer,
                       "cannot post the notification (error " + std::to_string(::GetLastError()) + ")");
    }
    if (!waitForFlagClear(r.flag, timeoutMs)) {
        return failure(LinkStatus::Timeout, "no answer within " + std::to_string(timeoutMs) +
                                                " ms: the server did not clear the request flag");
    }
    LinkResult result;
    for (int i = 0; i < 3; ++i) result.answer[i] = loadWord(r.words[i]);
    return result;
}

ServerProcess findServer(const RemoteConsole& console) {
    std::string why;
    ServerProcess server{console.serverWindow(why)};
    if (!server.window)
        std::fprintf(stderr, "linkctl: %s\n", why.c_str());
    else
        ::GetWindowThreadProcessId(server.window, &server.processId);
    return server;
}

LinkResult RemoteConsole::notify(std::uint32_t wParam, std::uint32_t lParam) {
    std::string why;
    HWND target = serverWindow(why);
    if (!target) return failure(LinkStatus::NoServer, why);
    if (!::PostMessageW(target, wire::kRemoteNotifyMessage, wParam, static_cast<LPARAM>(lParam)))
        return failure(LinkStatus::NoServer, "cannot post the notification");
    return {};
}

}  // namespace simboard
