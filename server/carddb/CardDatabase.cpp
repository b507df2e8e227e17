#include "server/carddb/CardDatabase.h"

namespace kelvane {

namespace {

constexpr std::u16string_view kNamesSection = u"Name_NV";
constexpr std::u16string_view kVersionSection = u"Version";
constexpr std::u16string_view kVoltageSection = u"Voltage";

struct DefaultKey {
    std::u16string_view key;
    std::int32_t fallback;
};
constexpr DefaultKey kMaxVoltage{u"vcore_max ", 1138};  // the key ends in a blank
constexpr DefaultKey kCore{u"core_def", 700};
constexpr DefaultKey kMemory{u"memory_def", 924};  // the remote side's scale
constexpr DefaultKey kVoltage{u"vcore_def", 1075};
constexpr DefaultKey kFan{u"fan_def", 44};

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

ModelDefaults InfoIniDatabase::modelDefaults(std::int32_t modelId) {
    const std::u16string section = modelSection(modelId);
    const auto read = [&](const DefaultKey& d) { return m_file.readInt(section, d.key, d.fallback); };
    ModelDefaults defaults;
    defaults.core = read(kCore);
    defaults.memory = read(kMemory);
    defaults.voltage = read(kVoltage);
    defaults.fan = read(kFan);
    return defaults;
}

void InfoIniDatabase::recordMaxVoltage(std::int32_t modelId) {
    const std::int32_t maximum = m_file.readInt(modelSection(modelId), kMaxVoltage.key, kMaxVoltage.fallback);
    m_file.writeString(kVoltageSection, u"Large", decimal(maximum));
}

}  // namespace kelvane
