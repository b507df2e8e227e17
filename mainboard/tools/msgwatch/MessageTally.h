#pragma once
// What the message hook counts, in a named mapping that msgwatch creates and the hook library,
// loaded into the watched program by the system, fills.

#include <cstdint>

namespace simboard {

inline constexpr wchar_t kMessageTallyMapping[] = L"Local\\KelvaneMessageTally";
inline constexpr char kMessageTallyHook[] = "MessageTallyHook";  // exported by msgtally.dll

// Messages below WM_USER are counted one by one; the program's own and registered ones together.
inline constexpr std::uint32_t kTalliedMessages = 0x400;

struct MessageTally {
    volatile long byMessage[kTalliedMessages];
    volatile long above;
};

}  // namespace simboard
