#include "mainboard/tools/common/SoakMix.h"

namespace simboard {

namespace {

using wire::wireNumber;

// The highest command of each group's table, by group.
constexpr std::uint32_t kLastCommand[3] = {wireNumber(wire::InfoCommand::BoardWord),
                                           wireNumber(wire::ReadCommand::AllCurrent),
                                           wireNumber(wire::SetCommand::All)};

struct Share {
    SoakKind kind;
    std::uint32_t weight;
};
constexpr Share kShares[] = {
    {SoakKind::Information, 15},      {SoakKind::Read, 25},          {SoakKind::Set, 20},
    {SoakKind::NoSuchGroup, 10},      {SoakKind::NoSuchCommand, 10}, {SoakKind::FlagError, 10},
    {SoakKind::WrongNotification, 10}};
constexpr std::uint32_t kTotalWeight = 100;

}  // namespace

std::string_view soakKindName(SoakKind kind) {
    switch (kind) {
        case SoakKind::Information:
            return "information";
        case SoakKind::Read:
            return "read";
        case SoakKind::Set:
            return "set";
        case SoakKind::NoSuchGroup:
            return "group without a table";
        case SoakKind::NoSuchCommand:
            return "command without a row";
        case SoakKind::FlagError:
            return "flag other than 1";
        case SoakKind::WrongNotification:
            return "notification with wrong parameters";
    }
    return "?";
}

std::uint32_t SoakMix::valueFor(const NvClockEntry& e, std::uint32_t scale) {
    if (below(2) == 0) return word() & 0xFFFF;  // anything the field holds
    const std::int64_t low = e.minimum - 2, high = static_cast<std::int64_t>(e.maximum) / scale + 2;
    if (high <= low) return below(0x10000);
    return static_cast<std::uint32_t>(low + below(static_cast<std::uint32_t>(high - low + 1))) & 0xFFFF;
}

Words SoakMix::requestWords(std::uint32_t group, std::uint32_t command, const NvClockInfo& card) {
    // Bits that no command reads (27..20 beside the card index, word 2's low half, word 2 outside
    // set-all) are random too: they must change nothing.
    Words w = {word(), word(), word()};
    w[0] = (group << 28) | (w[0] & 0x0FF00000) | (command << 16) | valueFor(card.entries[kNvCore], 1);
    w[1] =
        valueFor(card.entries[kNvMemory], kRecordMemoryScale) << 16 | valueFor(card.entries[kNvVoltage], 1);
    w[2] = valueFor(card.entries[kNvFan], 1) << 16 | (w[2] & 0xFFFF);
    return w;
}

SoakStep SoakMix::next(const NvClockInfo& card) {
    SoakStep s;
    std::uint32_t pick = below(kTotalWeight);
    for (const Share& share : kShares) {
        if (pick < share.weight) {
            s.kind = share.kind;
            break;
        }
        pick -= share.weight;
    }
    if (below(2) == 0) s.lParam = wire::kRemoteNotifyLParamShort;
    switch (s.kind) {
        case SoakKind::Information:
        case SoakKind::Read:
        case SoakKind::Set: {
            const auto group = static_cast<std::uint32_t>(s.kind);  // the kinds start with the groups
            s.words = requestWords(group, 1 + below(kLastCommand[group]), card);
            break;
        }
        case SoakKind::NoSuchGroup:
            s.words = requestWords(3 + below(13), below(16), card);
            break;
        case SoakKind::NoSuchCommand: {
            const std::uint32_t group = below(3);
            const std::uint32_t beyond = 15 - kLastCommand[group];
            const std::uint32_t pickCommand = below(beyond + 1);  // 0, or one past the table
            s.words = requestWords(group, pickCommand == 0 ? 0 : kLastCommand[group] + pickCommand, card);
            break;
        }
        case SoakKind::FlagError:
            s.words = {word(), word(), word()};
            s.flag = 2 + below(0xFFFFFFFDu);  // anything but 0 (nothing to wait for) and 1
            break;
        case SoakKind::WrongNotification:
            s.words = requestWords(wireNumber(wire::RequestGroup::Read),
                                   wireNumber(wire::ReadCommand::AllCurrent), card);
            s.wrongWParam = wire::kRemoteNotifyWParam;
            s.wrongLParam = s.lParam;
            if (below(2) == 0) {
                s.wrongWParam = word();
                if (s.wrongWParam == wire::kRemoteNotifyWParam) ++s.wrongWParam;
            } else {
                s.wrongLParam = word();
                if (wire::isRemoteNotification(s.wrongWParam, s.wrongLParam)) s.wrongLParam ^= 0x1;
            }
            break;
    }
    return s;
}

}  // namespace simboard
