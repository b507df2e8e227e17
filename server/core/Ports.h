#pragma once
// What the server's logic needs of the world around it, as small interfaces: the ACPI registers
// (server/platform), the log (the main window) and the card database (server/carddb). The cards
// themselves are reached through gpulib's GreencardBackend.

#include <cstdint>
#include <string_view>

#include "gpulib/NvClockInfo.h"

namespace kelvane {

// The ACPI device registers as the channel sees them; results of the accesses are not examined.
class RegisterBus {
  public:
    virtual ~RegisterBus() = default;
    virtual std::uint32_t read(std::uint32_t deviceId) = 0;
    virtual void write(std::uint32_t deviceId, std::uint32_t value) = 0;
};

class LogSink {
  public:
    virtual ~LogSink() = default;
    virtual void addLine(std::string_view text) = 0;
};

// A card model's defaults; memory in the remote side's scale, half of the record's.
struct ModelDefaults {
    std::int32_t core = 0;
    std::int32_t memory = 0;
    std::int32_t voltage = 0;
    std::int32_t fan = 0;
};

// Model ids, the database version and each model's defaults.
class CardDatabase {
  public:
    virtual ~CardDatabase() = default;
    virtual std::int32_t lookupModelId(std::uint32_t card) = 0;
    virtual std::int32_t readVersion() = 0;
    virtual ModelDefaults modelDefaults(std::int32_t modelId) = 0;
    // Records the model's maximum core voltage for the rest of the system to read.
    virtual void recordMaxVoltage(std::int32_t modelId) = 0;
};

// What the main window shares with the channel, the start-up defaults and the test buttons.
struct CardState {
    NvClockInfo record{};
    std::int32_t cardCount = 0;
    bool greencardActive = false;  // read once at start-up; when false no request touches a card
};

}  // namespace kelvane
