#pragma once
// The remote-link wire format: register ids, notification shape, request words and answer words.

#include <cstdint>

namespace kelvane {

inline constexpr std::uint32_t kFlagRegister = 0x13060000;
inline constexpr std::uint32_t kDataRegister = 0x13060001;
inline constexpr std::uint32_t kSelectorRegister = 0x13060002;

inline constexpr std::uint32_t kRemoteNotifyMessage = 0x0400 + 8;  // WM_USER + 8
inline constexpr std::uint32_t kRemoteNotifyWParam = 0x55;
inline constexpr std::uint32_t kRemoteNotifyLParam = 0xA0020000;
inline constexpr std::uint32_t kRemoteNotifyLParamShort = 0xEC;

inline constexpr std::uint32_t kFlagRequestWaiting = 1;
inline constexpr std::uint32_t kFlagErrorWord = 0x10000000;

inline bool isRemoteNotification(std::uint32_t wParam, std::uint32_t lParam) {
    return wParam == kRemoteNotifyWParam &&
           (lParam == kRemoteNotifyLParam || lParam == kRemoteNotifyLParamShort);
}

enum class RequestGroup : std::uint32_t { Information = 0, Read = 1, Set = 2 };

inline constexpr std::uint32_t kSetAllCommand = 7;

struct RemoteRequest {
    std::uint32_t group = 0;
    std::uint32_t cardIndex = 0;
    std::uint32_t command = 0;
    std::uint32_t core = 0;
    std::uint32_t memory = 0;
    std::uint32_t voltage = 0;
    std::uint32_t fan = 0;  // decoded only for a set-all request

    bool is(RequestGroup g) const { return group == static_cast<std::uint32_t>(g); }

    static RemoteRequest decode(std::uint32_t word0, std::uint32_t word1, std::uint32_t word2) {
        RemoteRequest r;
        r.group = word0 >> 28;
        r.cardIndex = (word0 >> 24) & 0xF;
        r.command = (word0 >> 16) & 0xF;
        r.core = word0 & 0xFFFF;
        r.memory = word1 >> 16;
        r.voltage = word1 & 0xFFFF;
        if (r.is(RequestGroup::Set) && r.command == kSetAllCommand) r.fan = word2 >> 16;
        return r;
    }
};

struct RemoteAnswer {
    std::uint32_t words[3] = {0, 0, 0};  // words no command fills go out as 0
};

// high * 65536 + low in 32-bit wrap-around arithmetic: a low part above 65535 carries upward.
inline std::uint32_t packHighLow(std::int32_t high, std::int32_t low) {
    return static_cast<std::uint32_t>(high) * 65536u + static_cast<std::uint32_t>(low);
}

}  // namespace kelvane
