#pragma once
// The remote link's wire: the ACPI registers, the notification, the registration text, and the
// layouts of the request and answer words. Both ends of the link build on this header.

#include <array>
#include <concepts>
#include <cstdint>

namespace wire {

// ACPI device ids of the register bank.
inline constexpr std::uint32_t kFlagRegister = 0x13060000;
inline constexpr std::uint32_t kDataRegister = 0x13060001;      // reaches the word the selector chose
inline constexpr std::uint32_t kSelectorRegister = 0x13060002;  // 0, 1 or 2

inline constexpr std::uint32_t kFlagRequestWaiting = 1;
inline constexpr std::uint32_t kFlagErrorWord = 0x10000000;  // answer word 0 when the flag was not set

// The platform service's notification to the registered window.
inline constexpr std::uint32_t kRemoteNotifyMessage = 0x0400 + 8;  // WM_USER + 8
inline constexpr std::uint32_t kRemoteNotifyWParam = 0x55;
inline constexpr std::uint32_t kRemoteNotifyLParam = 0xA0020000;
inline constexpr std::uint32_t kRemoteNotifyLParamShort = 0xEC;

constexpr bool isRemoteNotification(std::uint32_t wParam, std::uint32_t lParam) {
    return wParam == kRemoteNotifyWParam &&
           (lParam == kRemoteNotifyLParam || lParam == kRemoteNotifyLParamShort);
}

// The text a window registers with for remote-link notifications.
inline constexpr wchar_t kRegistrationText[] = L"DCA9F97F-3ED4-4b5c-A2CD-AB5C7422696C";

using Words = std::array<std::uint32_t, 3>;

enum class RequestGroup : std::uint32_t { Information = 0, Read = 1, Set = 2 };

// The command tables of the three groups, by the number a request carries in word 0. A number with
// no name here has no row and carries nothing out.
enum class InfoCommand : std::uint32_t {
    CardCount = 1,
    ModelId = 2,  // of the card the request's card index names
    AnswersOne = 3,
    Capability = 4,
    CardCountSecondForm = 5,
    AnswersOneSecondForm = 6,
    BoardWord = 7,
};

enum class ReadCommand : std::uint32_t {
    CoreCurrent = 1,
    CoreRange = 2,
    MemoryCurrent = 3,
    MemoryRange = 4,
    CoreDefault = 5,
    MemoryDefault = 6,
    VoltageCurrent = 7,
    VoltageRange = 8,
    VoltageDefault = 9,
    AllCurrent = 10,
};

// The "of card 0" commands go to card 0 alone and only to a settable entry; the others go to every
// card index whatever the entry says.
enum class SetCommand : std::uint32_t {
    CoreOfCard0 = 1,
    MemoryOfCard0 = 2,
    VoltageOfCard0 = 3,
    CoreOfEveryCard = 4,
    MemoryOfEveryCard = 5,
    VoltageOfEveryCard = 6,
    All = 7,  // core, memory, voltage and fan of every card
};

template <typename E>
concept WireNumbered = std::same_as<E, RequestGroup> || std::same_as<E, InfoCommand> ||
    std::same_as<E, ReadCommand> || std::same_as<E, SetCommand>;

// The number a group or command goes by in a request word.
template <WireNumbered E>
constexpr std::uint32_t wireNumber(E value) {
    return static_cast<std::uint32_t>(value);
}

// Request words: word 0 = group (4 bits) | card index (4) | unused (4) | command (4) | core (16),
// word 1 = memory (16) | voltage (16), word 2 = fan (16, set-all only) | unused (16).
struct RemoteRequest {
    std::uint32_t group = 0;
    std::uint32_t cardIndex = 0;
    std::uint32_t command = 0;
    std::uint32_t core = 0;
    std::uint32_t memory = 0;
    std::uint32_t voltage = 0;
    std::uint32_t fan = 0;  // decoded only for a set-all request

    constexpr bool is(RequestGroup g) const { return group == wireNumber(g); }

    static constexpr RemoteRequest decode(std::uint32_t word0, std::uint32_t word1, std::uint32_t word2) {
        RemoteRequest r;
        r.group = word0 >> 28;
        r.cardIndex = (word0 >> 24) & 0xF;
        r.command = (word0 >> 16) & 0xF;
        r.core = word0 & 0xFFFF;
        r.memory = word1 >> 16;
        r.voltage = word1 & 0xFFFF;
        if (r.is(RequestGroup::Set) && r.command == wireNumber(SetCommand::All)) r.fan = word2 >> 16;
        return r;
    }

    // Every value is cut to its field; none spills into a neighbour.
    constexpr Words encode() const {
        return {(group & 0xF) << 28 | (cardIndex & 0xF) << 24 | (command & 0xF) << 16 | (core & 0xFFFF),
                (memory & 0xFFFF) << 16 | (voltage & 0xFFFF), (fan & 0xFFFF) << 16};
    }
};

struct RemoteAnswer {
    Words words = {0, 0, 0};  // words no command fills go out as 0
};

// Answer layouts. A range is max * 65536 + min in 32-bit wrap-around arithmetic: a low part above
// 65535 carries upward.
constexpr std::uint32_t packHighLow(std::int32_t high, std::int32_t low) {
    return static_cast<std::uint32_t>(high) * 65536u + static_cast<std::uint32_t>(low);
}
constexpr std::uint32_t highHalf(std::uint32_t word) { return word >> 16; }
constexpr std::uint32_t lowHalf(std::uint32_t word) { return word & 0xFFFF; }

// The answer of ReadCommand::AllCurrent: core in A0, memory (the remote side's scale) and voltage
// in A1, fan in the upper half of A2, added like a range.
constexpr Words packAllCurrent(std::int32_t core, std::int32_t memory, std::int32_t voltage,
                               std::int32_t fan) {
    return {static_cast<std::uint32_t>(core), packHighLow(memory, voltage), packHighLow(fan, 0)};
}

// The answer of InfoCommand::BoardWord: count (4 bits) | 1 (4) | model (8) | version (8) | 1 (4) |
// 0 (4). The parts are added, not masked: an oversized field spills into its neighbour.
constexpr std::uint32_t packBoardWord(std::uint32_t cardCount, std::uint32_t model, std::uint32_t version) {
    return cardCount * (1u << 28) + (1u << 24) + model * (1u << 16) + version * (1u << 8) + (1u << 4);
}
struct BoardWord {
    std::uint32_t cardCount, model, version;
};
constexpr BoardWord unpackBoardWord(std::uint32_t word) {
    return {word >> 28, (word >> 16) & 0xFF, (word >> 8) & 0xFF};
}

}  // namespace wire
