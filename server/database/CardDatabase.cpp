#include "server/database/CardDatabase.h"

namespace kelvane {

namespace {

constexpr std::u16string_view kNamesSection = u"Name_NV";
constexpr std::u16string_view kVersionSection = u"Version";
constexpr std::u16string_view kVoltageSection = u"Voltage";

struct ModelDefault {
    std::u16string_view key;
    std::int32_t fallback;
};
constexpr ModelDefault kMaxVoltage{u"vcore_max ", 1138};  // the key ends in a blank
constexpr ModelDefault kCore{u"core_def", 700};
constexpr ModelDefault kMemory{u"memory_def", 924};  // the remote side's scale: doubled in the record
constexpr ModelDefault kVoltage{u"vcore_def", 1075};
constexpr ModelDefault kFan{u"fan_def", 44};

std::u16string decimal(std::int32_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string modelSection(std::int32_t modelId) { return decimal(modelId) + u"_NV"; }

std::int32_t InfoIniDatabase::lookupModelId(std::uint32_t card) {
    return m_file.readInt(kNamesSection, m_names.cardName(card), 0);
}

std::int32_t InfoIniDatabase::readVersion() { return m_file.readInt(kVersionSection, u"Ver", 1); }

void InfoIniDatabase::loadDefaults(CardState& cards, CardBackend& backend) {
    if (!cards.greencardActive) return;
    const std::u16string section = modelSection(lookupModelId(0));
    const auto read = [&](const ModelDefault& d) { return m_file.readInt(section, d.key, d.fallback); };
    m_file.writeString(kVoltageSection, u"Large", decimal(read(kMaxVoltage)));

    NvClockInfo& record = cards.record;
    const auto cardCount = static_cast<std::uint32_t>(cards.cardCount);
    for (std::uint32_t card = 0; card < cardCount; ++card) {
        // Read again for every card: the file is the only copy of the defaults.
        record.core.current = read(kCore);
        record.memory.current = static_cast<std::int32_t>(2u * static_cast<std::uint32_t>(read(kMemory)));
        record.voltage.current = read(kVoltage);
        record.fan.current = read(kFan);
        backend.applyClocks(card, record);
        backend.applyFan(card, record);
    }
}

}  // namespace kelvane
