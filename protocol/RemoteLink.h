#pragma once
// The remote link's wire for C++: the ACPI registers, the notification, the registration text, and
// the layouts of the request and answer words, as remote/LinkWire.h states them for both ends.

#include <array>
#include <concepts>
#include <cstdint>

#include "remote/LinkWire.h"

namespace wire {

// ACPI device ids of the register bank.
inline constexpr std::uint32_t kFlagRegister = KVR_FLAG_REGISTER;
inline constexpr std::uint32_t kDataRegister = KVR_DATA_REGISTER;
inline constexpr std::uint32_t kSelectorRegister = KVR_SELECTOR_REGISTER;

inline constexpr std::uint32_t kFlagRequestWaiting = KVR_FLAG_REQUEST_WAITING;
inline constexpr std::uint32_t kFlagErrorWord = KVR_ERROR_WORD;  // answer word 0 when the flag was not set

// The platform service's notification to the registered window.
inline constexpr std::uint32_t kRemoteNotifyMessage = KVR_NOTIFY_MESSAGE;
inline constexpr std::uint32_t kRemoteNotifyWParam = KVR_NOTIFY_WPARAM;
inline constexpr std::uint32_t kRemoteNotifyLParam = KVR_NOTIFY_LPARAM;
inline constexpr std::uint32_t kRemoteNotifyLParamShort = KVR_NOTIFY_LPARAM_SHORT;

constexpr bool isRemoteNotification(std::uint32_t wParam, std::uint32_t lParam) {
    return wParam == kRemoteNotifyWParam &&
           (lParam == kRemoteNotifyLParam || lParam == kRemoteNotifyLParamShort);
}

// The text a window registers with for remote-link notifications.
inline constexpr wchar_t kRegistrationText[] = L"" KVR_REGISTRATION_TEXT;

using Words = std::array<std::uint32_t, 3>;

enum class RequestGroup : std::uint32_t {
    Information = KVR_GROUP_INFORMATION,
    Read = KVR_GROUP_READ,
    Set = KVR_GROUP_SET,
};

// The command tables of the three groups, by the number a request carries in word 0. A number with
// no name here has no row and carries nothing out.
enum class InfoCommand : std::uint32_t {
    CardCount = KVR_INFO_CARD_COUNT,
    ModelId = KVR_INFO_MODEL_ID,  // of the card the request's card index names
    AnswersOne = KVR_INFO_ANSWERS_ONE,
    Capability = KVR_INFO_CAPABILITY,
    CardCountSecondForm = KVR_INFO_CARD_COUNT_SECOND_FORM,
    AnswersOneSecondForm = KVR_INFO_ANSWERS_ONE_SECOND_FORM,
    BoardWord = KVR_INFO_BOARD_WORD,
};

// The card count a server answers (CardCount, CardCountSecondForm, the board word) while the NVIDIA
// back end is active, whatever number of cards is installed; without it, 0.
inline constexpr std::uint32_t kActiveBackEndCardCount = 4;

enum class ReadCommand : std::uint32_t {
    CoreCurrent = KVR_READ_CORE_CURRENT,
    CoreRange = KVR_READ_CORE_RANGE,
    MemoryCurrent = KVR_READ_MEMORY_CURRENT,
    MemoryRange = KVR_READ_MEMORY_RANGE,
    CoreDefault = KVR_READ_CORE_DEFAULT,
    MemoryDefault = KVR_READ_MEMORY_DEFAULT,
    VoltageCurrent = KVR_READ_VOLTAGE_CURRENT,
    VoltageRange = KVR_READ_VOLTAGE_RANGE,
    VoltageDefault = KVR_READ_VOLTAGE_DEFAULT,
    AllCurrent = KVR_READ_ALL_CURRENT,
};

// The "of card 0" commands go to card 0 alone and only to a settable entry; the others go to every
// card index whatever the entry says.
enum class SetCommand : std::uint32_t {
    CoreOfCard0 = KVR_SET_CORE_OF_CARD0,
    MemoryOfCard0 = KVR_SET_MEMORY_OF_CARD0,
    VoltageOfCard0 = KVR_SET_VOLTAGE_OF_CARD0,
    CoreOfEveryCard = KVR_SET_CORE_OF_EVERY_CARD,
    MemoryOfEveryCard = KVR_SET_MEMORY_OF_EVERY_CARD,
    VoltageOfEveryCard = KVR_SET_VOLTAGE_OF_EVERY_CARD,
    All = KVR_SET_ALL,  // core, memory, voltage and fan of every card
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
        r.group = KVR_WORD0_GROUP(word0);
        r.cardIndex = KVR_WORD0_CARD(word0);
        r.command = KVR_WORD0_COMMAND(word0);
        r.core = KVR_LOW_HALF(word0);
        r.memory = KVR_HIGH_HALF(word1);
        r.voltage = KVR_LOW_HALF(word1);
        if (r.is(RequestGroup::Set) && r.command == wireNumber(SetCommand::All)) r.fan = KVR_HIGH_HALF(word2);
        return r;
    }

    // Every value is cut to its field; none spills into a neighbour.
    constexpr Words encode() const {
        return {KVR_WORD0(group, cardIndex, command, core), KVR_HALVES(memory, voltage), KVR_HALVES(fan, 0)};
    }
};

struct RemoteAnswer {
    Words words = {0, 0, 0};  // words no command fills go out as 0
};

// Answer layouts. A range is max * 65536 + min in 32-bit wrap-around arithmetic: a low part above
// 65535 carries upward.
constexpr std::uint32_t packHighLow(std::int32_t high, std::int32_t low) {
    return KVR_PACK_HIGH_LOW(high, low);
}
constexpr std::uint32_t highHalf(std::uint32_t word) { return KVR_HIGH_HALF(word); }
constexpr std::uint32_t lowHalf(std::uint32_t word) { return KVR_LOW_HALF(word); }

// The answer of ReadCommand::AllCurrent: core in A0, memory (the remote side's scale) and voltage
// in A1, fan in the upper half of A2, added like a range.
constexpr Words packAllCurrent(std::int32_t core, std::int32_t memory, std::int32_t voltage,
                               std::int32_t fan) {
    return {static_cast<std::uint32_t>(core), packHighLow(memory, voltage), packHighLow(fan, 0)};
}

// The answer of InfoCommand::BoardWord: count (4 bits) | 1 (4) | model (8) | version (8) | 1 (4) |
// 0 (4). The parts are added, not masked: an oversized field spills into its neighbour.
constexpr std::uint32_t packBoardWord(std::uint32_t cardCount, std::uint32_t model, std::uint32_t version) {
    return KVR_BOARD_WORD(cardCount, model, version);
}
struct BoardWord {
    std::uint32_t cardCount, model, version;
};
constexpr BoardWord unpackBoardWord(std::uint32_t word) {
    return {KVR_BOARD_COUNT(word), KVR_BOARD_MODEL(word), KVR_BOARD_VERSION(word)};
}

}  // namespace wire
