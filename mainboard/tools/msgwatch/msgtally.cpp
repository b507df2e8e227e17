// msgtally.dll: a WH_GETMESSAGE hook that counts every message the watched thread takes from its
// queue (timer and paint messages included, which are made when asked for, never posted).

#include <windows.h>

#include "mainboard/tools/msgwatch/MessageTally.h"

namespace {

simboard::MessageTally* tally() {
    // Opened once, on the first message; the mapping stays until the process ends.
    static simboard::MessageTally* const view = [] {
        HANDLE mapping = ::OpenFileMappingW(FILE_MAP_WRITE, FALSE, simboard::kMessageTallyMapping);
        if (!mapping) return static_cast<simboard::MessageTally*>(nullptr);
        return static_cast<simboard::MessageTally*>(
            ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(simboard::MessageTally)));
    }();
    return view;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK MessageTallyHook(int code, WPARAM removal, LPARAM message) {
    // A message only looked at (PM_NOREMOVE) is counted when it is taken.
    if (code == HC_ACTION && removal == PM_REMOVE) {
        if (simboard::MessageTally* counts = tally()) {
            const UINT id = reinterpret_cast<const MSG*>(message)->message;
            ::InterlockedIncrement(id < simboard::kTalliedMessages ? &counts->byMessage[id] : &counts->above);
        }
    }
    return ::CallNextHookEx(nullptr, code, removal, message);
}
