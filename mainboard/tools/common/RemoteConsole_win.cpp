#include "mainboard/tools/common/RemoteConsole.h"

#include <cstdio>

#include "win32/WindowWord.h"

namespace simboard {

namespace {

LinkResult failure(kvr_status status, std::string why) { return {status, {}, std::move(why)}; }

// Waits for the flag to clear, for a request staged around the kit: spins briefly (answers usually
// come within a few hundred µs), then yields, then sleeps so that a long wait does not hold a core.
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

kvr_transport BoardPort::transport() {
    return {
        this, &BoardPort::read, &BoardPort::write, &BoardPort::notify, &BoardPort::now, &BoardPort::pause};
}

HWND BoardPort::serverWindow(std::string& why) const {
    const auto registered = loadWord(m_machine.state().notify.window);
    if (registered == 0) {
        why = "no server has registered for remote-link notifications";
        return nullptr;
    }
    HWND window = win32::windowFromWord(registered);
    if (!::IsWindow(window)) {
        why = "the window registered for remote-link notifications no longer exists (the server has ended)";
        return nullptr;
    }
    return window;
}

bool BoardPort::read(void* context, std::uint32_t id, std::uint32_t* value) {
    BoardPort& p = of(context);
    RegisterBankState& r = p.m_machine.state().registers;
    switch (id) {
        case wire::kFlagRegister:
            *value = loadWord(r.flag);
            return true;
        case wire::kSelectorRegister:
            *value = p.m_selector;
            return true;
        case wire::kDataRegister:
            *value = loadWord(r.words[p.m_selector]);
            return true;
        default:
            return false;
    }
}

bool BoardPort::write(void* context, std::uint32_t id, std::uint32_t value) {
    BoardPort& p = of(context);
    RegisterBankState& r = p.m_machine.state().registers;
    switch (id) {
        case wire::kFlagRegister:
            storeWord(r.flag, value);
            return true;
        case wire::kSelectorRegister:
            if (value >= KVR_WORD_COUNT) return false;
            p.m_selector = value;
            return true;
        case wire::kDataRegister:
            storeWord(r.words[p.m_selector], value);
            return true;
        default:
            return false;
    }
}

// The platform service tells the window registered with it; with nobody registered (or the window
// gone with its server) the notification goes nowhere, as it would on the hardware: the port cannot
// tell, so neither can the kit.
bool BoardPort::notify(void* context) {
    BoardPort& p = of(context);
    p.m_spins = 0;
    if (p.notificationsToLose > 0) {
        --p.notificationsToLose;
        p.lastLoss = "the notification was dropped on request (--lose-notifications)";
        return true;
    }
    HWND target = p.target;
    if (!target && !(target = p.serverWindow(p.lastLoss))) return true;
    if (!::PostMessageW(target, wire::kRemoteNotifyMessage, wire::kRemoteNotifyWParam,
                        static_cast<LPARAM>(p.lParam)))
        return false;
    p.lastLoss.clear();
    return true;
}

std::uint32_t BoardPort::now(void*) { return ::GetTickCount(); }

// Answers usually come within a few hundred µs: spin first, then yield, then sleep, so that a long
// wait does not hold a core.
void BoardPort::pause(void* context, std::uint32_t waitedMs) {
    BoardPort& p = of(context);
    if (waitedMs == 0 && p.m_spins < 64) {
        ++p.m_spins;
        YieldProcessor();
    } else if (waitedMs < 50) {
        ::SwitchToThread();
    } else {
        ::Sleep(1);
    }
}

std::string explainFailure(const kvr_link& link, const BoardPort& port) {
    const kvr_outcome& o = *kvr_last_outcome(&link);
    std::string text = kvr_status_text(o.status);
    if (o.status == KVR_TIMED_OUT_STAGED || o.status == KVR_TIMED_OUT_WITHDRAWN) {
        text += " (" + std::to_string(o.announcements) + " announcement" + (o.announcements == 1 ? "" : "s") +
                ", " + std::to_string(link.config.answer_ms) + " ms each)";
        if (!port.lastLoss.empty()) text += "; on the board: " + port.lastLoss;
    }
    return text;
}

LinkResult RemoteConsole::request(const Words& words, DWORD timeoutMs, HWND target, std::uint32_t lParam) {
    m_port.target = target;
    m_port.lParam = lParam;
    kvr_config config;
    kvr_default_config(&config);
    config.answer_ms = timeoutMs;
    config.announcements = 1;
    kvr_link link;
    const kvr_transport transport = m_port.transport();
    if (kvr_init(&link, &transport, &config) != KVR_OK) return failure(KVR_INVALID_ARGUMENT, "bad timeout");
    LinkResult result;
    result.status = kvr_raw(&link, words.data(), result.answer.data());
    if (!result.ok()) result.error = explainFailure(link, m_port);
    return result;
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
        return failure(KVR_TRANSPORT_FAILURE,
                       "cannot post the notification (error " + std::to_string(::GetLastError()) + ")");
    }
    if (!waitForFlagClear(r.flag, timeoutMs)) {
        return failure(KVR_TIMED_OUT_STAGED, "no answer within " + std::to_string(timeoutMs) +
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
    if (!target) return failure(KVR_TRANSPORT_FAILURE, why);
    if (!::PostMessageW(target, wire::kRemoteNotifyMessage, wParam, static_cast<LPARAM>(lParam)))
        return failure(KVR_TRANSPORT_FAILURE, "cannot post the notification");
    return {};
}

}  // namespace simboard
