#pragma once
// The card database Info.ini: model ids by card name, each model's defaults, the database version.
// Every value is read from the file when it is needed; nothing of it is kept.

#include <cstdint>
#include <string>
#include <string_view>

#include "server/core/Ports.h"

namespace kelvane {

// One profile (INI) file, read and written through the platform's profile functions, which match
// section and key names without regard to case and ignore blanks around them.
class ProfileFile {
  public:
    virtual ~ProfileFile() = default;
    virtual std::int32_t readInt(std::u16string_view section, std::u16string_view key,
                                 std::int32_t fallback) = 0;
    // A failed write (a read-only file, say) is not reported: the callers go on either way.
    virtual void writeString(std::u16string_view section, std::u16string_view key,
                             std::u16string_view value) = 0;
};

// The card names the NVIDIA back end reports, already converted to text and trimmed.
class CardNameSource {
  public:
    virtual ~CardNameSource() = default;
    virtual std::u16string cardName(std::uint32_t card) = 0;
};

// The section of a model's defaults: the model id in decimal followed by "_NV". Any id gives a
// valid section of its own (negative and long ids included).
std::u16string modelSection(std::int32_t modelId);

class InfoIniDatabase final : public CardDatabase {
  public:
    InfoIniDatabase(ProfileFile& file, CardNameSource& names) : m_file(file), m_names(names) {}

    std::int32_t lookupModelId(std::uint32_t card) override;
    std::int32_t readVersion() override;
    ModelDefaults modelDefaults(std::int32_t modelId) override;
    // Under "Voltage"/"Large".
    void recordMaxVoltage(std::int32_t modelId) override;

  private:
    ProfileFile& m_file;
    CardNameSource& m_names;
};

}  // namespace kelvane
