// msgwatch: counts the messages that a program's window thread takes from its queue over a while:
// what wakes a program that has nothing to do. The counting is done by msgtally.dll, a message hook
// that the system loads into the program. (The processor time is read from Linux by the scripts:
// wine reports no times of another process.)

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mainboard/tools/common/Json.h"
#include "mainboard/tools/common/LineFeedOutput.h"
#include "mainboard/tools/msgwatch/MessageTally.h"
#include "protocol/ServerWindows.h"
#include "win32/Handles.h"
#include "win32/Text.h"

namespace {

using namespace simboard;

constexpr DWORD kMarkerDeadlineMs = 5000;

int usage() {
    std::fputs(
        "usage: msgwatch SECONDS [--class NAME] [--json]   the messages the thread of the window of class\n"
        "                                        NAME (default: the server's main window) takes in\n"
        "                                        SECONDS; --json: one object for scripts\n",
        stderr);
    return 1;
}

int fail(const char* what) {
    std::fprintf(stderr, "msgwatch: %s (error %lu)\n", what, ::GetLastError());
    return 1;
}

// Posts a message that does nothing and waits until the hook has counted it: proof that the hook
// runs in the watched thread, and that everything taken before the marker has been counted.
bool markerCounted(HWND window, const MessageTally& tally) {
    const long before = tally.byMessage[WM_NULL];
    if (!::PostMessageW(window, WM_NULL, 0, 0)) return false;
    const DWORD start = ::GetTickCount();
    while (tally.byMessage[WM_NULL] == before) {
        if (::GetTickCount() - start > kMarkerDeadlineMs) return false;
        ::Sleep(10);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    printWithLineFeeds();
    if (argc < 2) return usage();
    char* end = nullptr;
    const double watchSeconds = std::strtod(argv[1], &end);
    if (*end != '\0' || !(watchSeconds > 0 && watchSeconds <= 86400)) return usage();
    std::wstring className = wire::kMainWindowClass;
    const wchar_t* caption = wire::kMainWindowCaption;
    bool json = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--json") {
            json = true;
        } else if (option == "--class" && i + 1 < argc) {
            className = win32::widen(argv[++i]);
            caption = nullptr;  // any window of that class
        } else {
            return usage();
        }
    }

    const HWND window = ::FindWindowW(className.c_str(), caption);
    if (!window) return fail("no window of that class");
    DWORD processId = 0;
    const DWORD threadId = ::GetWindowThreadProcessId(window, &processId);
    const win32::UniqueHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                           sizeof(MessageTally), kMessageTallyMapping));
    if (!mapping) return fail("cannot make the tally");
    const win32::UniqueFileView view(
        ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(MessageTally)));
    if (!view) return fail("cannot map the tally");
    auto& tally = *static_cast<MessageTally*>(view.get());

    const win32::UniqueModule library(::LoadLibraryW(L"msgtally.dll"));
    if (!library) return fail("cannot load msgtally.dll");
    const auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), kMessageTallyHook)));
    if (!hook) return fail("msgtally.dll lacks its hook");
    const win32::UniqueHook hooked(::SetWindowsHookExW(WH_GETMESSAGE, hook, library.get(), threadId));
    if (!hooked) return fail("cannot hook the window's thread");
    if (!markerCounted(window, tally)) return fail("the hook does not count in the window's thread");

    MessageTally start{};
    for (std::uint32_t id = 0; id < kTalliedMessages; ++id) start.byMessage[id] = tally.byMessage[id];
    start.above = tally.above;
    const DWORD began = ::GetTickCount();
    ::Sleep(static_cast<DWORD>(watchSeconds * 1000));
    const DWORD watchedMs = ::GetTickCount() - began;
    MessageTally taken{};
    long total = 0;
    for (std::uint32_t id = 0; id < kTalliedMessages; ++id) {
        taken.byMessage[id] = tally.byMessage[id] - start.byMessage[id];
        total += taken.byMessage[id];
    }
    taken.above = tally.above - start.above;
    total += taken.above;
    if (!markerCounted(window, tally)) return fail("the hook stopped counting");

    if (json) {
        Json byMessage = Json::object();
        for (std::uint32_t id = 0; id < kTalliedMessages; ++id) {
            char key[8];
            std::snprintf(key, sizeof key, "0x%04x", id);
            if (id != WM_TIMER && taken.byMessage[id] != 0)
                byMessage[key] = static_cast<long>(taken.byMessage[id]);
        }
        printJsonLine({{"window_class", win32::narrow(className)},
                       {"process", processId},
                       {"seconds", watchedMs / 1000.0},
                       {"taken", total},
                       {"timer", static_cast<long>(taken.byMessage[WM_TIMER])},
                       {"others_by_message", byMessage},
                       {"user_and_above", static_cast<long>(taken.above)}});
        return 0;
    }
    std::printf("watched the thread of window class \"%s\" (process %lu) for %.1f s\n",
                win32::narrow(className).c_str(), processId, watchedMs / 1000.0);
    std::printf("messages taken: %ld\n", total);
    std::printf("WM_TIMER %ld\n", taken.byMessage[WM_TIMER]);
    for (std::uint32_t id = 0; id < kTalliedMessages; ++id) {
        if (id != WM_TIMER && taken.byMessage[id] != 0) std::printf("0x%04x %ld\n", id, taken.byMessage[id]);
    }
    if (taken.above != 0) std::printf("WM_USER and above %ld\n", taken.above);
    return 0;
}
