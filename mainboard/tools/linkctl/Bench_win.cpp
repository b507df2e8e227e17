#include "mainboard/tools/linkctl/Bench.h"

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <vector>

#include "mainboard/tools/common/HandlingTimes.h"
#include "mainboard/tools/common/LinkVerbs.h"
#include "mainboard/tools/common/RemoteConsole.h"
#include "mainboard/tools/common/Stats.h"
#include "mainboard/tools/linkctl/ExitCodes.h"
#include "win32/Application.h"
#include "win32/Handles.h"
#include "win32/Text.h"
#include "win32/WindowWord.h"

namespace simboard {

namespace {

constexpr DWORD kBenchTimeoutMs = 5000;
constexpr std::uint32_t kJournalScanEvery = 1000;  // well inside what the journal holds
constexpr Words kBenchRequest =
    wire::RemoteRequest{.group = wire::wireNumber(wire::RequestGroup::Read),
                        .command = wire::wireNumber(wire::ReadCommand::AllCurrent)}
        .encode();

using AcpiWrite = std::uint32_t(__stdcall*)(std::uint32_t, std::uint32_t, std::uint32_t);
using AcpiRead = std::uint32_t(__stdcall*)(std::uint32_t, std::uint32_t*);

std::wstring defaultAcpiPath() {
    const std::wstring here = win32::executableFolder();
    if (win32::fileExists(here + L"nuacpi.dll")) return here + L"nuacpi.dll";
    return here + L"..\\standins\\nuacpi.dll";
}

double microsecondsSince(const LARGE_INTEGER& start) {
    static const double frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1e6 / frequency;
}

struct RunResult {
    std::vector<double> roundTripsUs;
    std::vector<std::uint64_t> sentUs;  // on the board's clock, when each notification was posted
    double totalSeconds = 0;
    bool ok = true;
};

// The round trips of `count` requests; the time spent in everyK (every kJournalScanEvery requests) and
// in the spacing between requests is left out of the total.
template <typename EveryK>
RunResult roundTrips(RemoteConsole& console, HWND target, std::uint32_t count, DWORD spacingMs,
                     EveryK everyK) {
    RunResult run;
    run.roundTripsUs.reserve(count);
    run.sentUs.reserve(count);
    LARGE_INTEGER begin;
    ::QueryPerformanceCounter(&begin);
    double pausedUs = 0;
    const auto pause = [&](auto work) {
        LARGE_INTEGER start;
        ::QueryPerformanceCounter(&start);
        work();
        pausedUs += microsecondsSince(start);
    };
    for (std::uint32_t i = 0; i < count; ++i) {
        LARGE_INTEGER start;
        ::QueryPerformanceCounter(&start);
        run.sentUs.push_back(Machine::nowUs());
        const LinkResult r = console.request(kBenchRequest, kBenchTimeoutMs, target);
        run.roundTripsUs.push_back(microsecondsSince(start));
        if (!r.ok()) {
            std::fprintf(stderr, "linkctl: request %u failed: %s\n", i, r.error.c_str());
            run.ok = false;
            return run;
        }
        if ((i + 1) % kJournalScanEvery == 0) pause(everyK);
        if (spacingMs > 0) pause([&] { ::Sleep(spacingMs); });
    }
    run.totalSeconds = (microsecondsSince(begin) - pausedUs) / 1e6;
    return run;
}

void printRun(const char* label, const RunResult& run) {
    const Summary s = summarize(run.roundTripsUs);
    std::printf("%-30s median %8.1f us   p99 %8.1f us   longest %9.1f us   %8.0f requests/s\n", label,
                s.median, s.p99, s.max, static_cast<double>(s.count) / run.totalSeconds);
}

struct Memory {
    long long privateKiB = 0;
    long long workingSetKiB = 0;
};

Memory processMemory(DWORD pid) {
    win32::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!process ||
        !::GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof counters))
        return {};
    return {static_cast<long long>(counters.PrivateUsage / 1024),
            static_cast<long long>(counters.WorkingSetSize / 1024)};
}

// Starts "linkctl respond" and reads the window it answers on from its first output line.
struct Responder {
    win32::UniqueHandle process;
    HWND window = nullptr;
};

Responder startResponder(const std::wstring& acpiPath) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readRaw = nullptr, writeRaw = nullptr;
    Responder r;
    if (!::CreatePipe(&readRaw, &writeRaw, &inherit, 0)) return r;
    win32::UniqueHandle readEnd(readRaw), writeEnd(writeRaw);
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(exe) + L"\" respond --acpi \"" + acpiPath + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd.get();
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = nullptr;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return r;
    r.process.reset(pi.hProcess);
    ::CloseHandle(pi.hThread);
    writeEnd.reset();
    char line[32] = {};
    DWORD got = 0, total = 0;
    while (total < sizeof line - 1 && ::ReadFile(readEnd.get(), line + total, 1, &got, nullptr) && got == 1) {
        if (line[total] == '\n') break;
        ++total;
    }
    r.window = win32::windowFromWord(static_cast<std::uint32_t>(std::strtoul(line, nullptr, 10)));
    return r;
}

AcpiRead g_read = nullptr;
AcpiWrite g_write = nullptr;

LRESULT CALLBACK responderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == wire::kRemoteNotifyMessage) {
        std::uint32_t flag = 0, word = 0;
        g_read(wire::kFlagRegister, &flag);
        if (flag != 1) {
            g_write(wire::kSelectorRegister, 0, 1);
            g_write(wire::kDataRegister, wire::kFlagErrorWord, 1);
        } else {
            for (std::uint32_t i = 0; i < 3; ++i) {
                g_write(wire::kSelectorRegister, i, 1);
                g_read(wire::kDataRegister, &word);
            }
            for (std::uint32_t i = 0; i < 3; ++i) {
                g_write(wire::kSelectorRegister, i, 1);
                g_write(wire::kDataRegister, 0, 1);
            }
        }
        g_write(wire::kFlagRegister, 0, 1);
        return 0;
    }
    if (message == WM_CLOSE) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

constexpr unsigned kDebuggerLines = 2000;

// What one line of debugger output costs here, as the server pays it for every log line.
double debuggerOutputCostUs() {
    LARGE_INTEGER start;
    ::QueryPerformanceCounter(&start);
    for (unsigned i = 0; i < kDebuggerLines; ++i) ::OutputDebugStringW(L"data -->1");
    return microsecondsSince(start) / kDebuggerLines;
}

}  // namespace

int runResponder(const std::string& acpiPath) {
    const std::wstring path = acpiPath.empty() ? defaultAcpiPath() : win32::widen(acpiPath);
    win32::UniqueModule acpi(::LoadLibraryW(path.c_str()));
    if (!acpi) {
        std::fprintf(stderr, "linkctl: cannot load %s (error %lu)\n", win32::narrow(path).c_str(),
                     ::GetLastError());
        return 1;
    }
    g_write = reinterpret_cast<AcpiWrite>(
        reinterpret_cast<void*>(::GetProcAddress(acpi.get(), MAKEINTRESOURCEA(2))));
    g_read = reinterpret_cast<AcpiRead>(
        reinterpret_cast<void*>(::GetProcAddress(acpi.get(), MAKEINTRESOURCEA(3))));
    if (!g_write || !g_read) {
        std::fprintf(stderr, "linkctl: %s lacks ordinal 2 or 3\n", win32::narrow(path).c_str());
        return 1;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = responderProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KelvaneBenchResponder";
    ::RegisterClassW(&wc);
    win32::UniqueWindow window(::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                                 nullptr, wc.hInstance, nullptr));
    if (!window) return 1;
    std::printf("%lu\n", static_cast<unsigned long>(win32::wordFromWindow(window.get())));
    std::fflush(stdout);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}

int runBench(std::uint32_t requests, std::uint32_t spacingMs, const std::string& acpiPath) {
    Machine& machine = Machine::instance();
    RemoteConsole console(machine);
    const auto [server, serverPid] = findServer(console);
    if (!server) return static_cast<int>(LinkExit::NoServer);

    Responder responder = startResponder(acpiPath.empty() ? defaultAcpiPath() : win32::widen(acpiPath));
    if (!responder.window) {
        std::fprintf(stderr, "linkctl: the floor's responder did not start\n");
        return 1;
    }
    DWORD responderPid = 0;
    ::GetWindowThreadProcessId(responder.window, &responderPid);
    HandlingTimes floorHandling(machine.state(), responderPid);
    const RunResult floor =
        roundTrips(console, responder.window, requests, spacingMs, [&] { floorHandling.scan(); });
    floorHandling.scan();
    ::PostMessageW(responder.window, WM_CLOSE, 0, 0);
    ::WaitForSingleObject(responder.process.get(), 5000);
    if (!floor.ok) return 1;

    const Memory before = processMemory(serverPid);
    HandlingTimes handling(machine.state(), serverPid);
    const RunResult served = roundTrips(console, server, requests, spacingMs, [&] { handling.scan(); });
    handling.scan();
    const Memory after = processMemory(serverPid);
    if (!served.ok) return 1;

    std::printf("round trips: %u of \"read all\" (0x%08X), each waited for the cleared flag, ", requests,
                kBenchRequest[0]);
    if (spacingMs > 0)
        std::printf("the next sent %u ms after the answer (requests/s: while one is in flight)\n", spacingMs);
    else
        std::printf("back to back\n");
    printRun("floor (bare responder)", floor);
    printRun("server", served);
    const Summary f = summarize(floor.roundTripsUs), s = summarize(served.roundTripsUs);
    std::printf("%-30s median x%.2f, p99 x%.2f of the floor\n", "server / floor", s.median / f.median,
                s.p99 / f.p99);
    const std::vector<double>& h = handling.times;
    const Summary all = summarize(h), bare = summarize(floorHandling.times);
    std::printf("%-30s median %8.1f us   p99 %8.1f us   (%zu requests from the journal)\n", "server handling",
                all.median, all.p99, all.count);
    std::printf("%-30s median %8.1f us   p99 %8.1f us   (the 14 register accesses alone)\n", "floor handling",
                bare.median, bare.p99);
    const Summary sentToServer = summarize(handling.deliveryTimes(served.sentUs)),
                  sentToFloor = summarize(floorHandling.deliveryTimes(floor.sentUs));
    std::printf("%-30s median %8.1f us   p99 %8.1f us   (post to flag read; floor: median %.1f us)\n",
                "notification to server", sentToServer.median, sentToServer.p99, sentToFloor.median);
    std::printf("%-30s %8.1f us per line (%u lines in this process)\n", "debugger output",
                debuggerOutputCostUs(), kDebuggerLines);
    printDrift("handling over the run", h);
    std::printf("%-30s private %lld KiB -> %lld KiB (%+lld KiB); working set %lld KiB -> %lld KiB\n",
                "server memory", before.privateKiB, after.privateKiB, after.privateKiB - before.privateKiB,
                before.workingSetKiB, after.workingSetKiB);
    return 0;
}

}  // namespace simboard
