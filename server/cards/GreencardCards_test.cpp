#include "server/cards/GreencardCards.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane {
namespace {

struct Call {
    std::string entry;
    std::int32_t index;
    std::int32_t core;  // of the record passed
    bool operator==(const Call&) const = default;
};

// Records which entry point each operation reaches; reads give the fan 51 and the core 700.
class RecordingGreencard final : public GreencardBackend {
public:
    std::vector<Call> calls;

    std::uint8_t Init() override { return 0; }
    bool IsLoaded() const override { return true; }
    bool Nv_GetGPUCount(std::uint32_t&) override { return false; }
    bool Nv_GetGPUName(std::int32_t, std::string&) override { return false; }
    bool Nv_GetGPUClockInfoPStates(std::int32_t i, NvClockInfo& r) override {
        calls.push_back({"Nv_GetGPUClockInfoPStates", i, r.core.current});
        r.core.current = 700;
        return true;
    }
    bool Nv_SetGPUClockInfoPStates(std::int32_t i, const NvClockInfo& r) override {
        calls.push_back({"Nv_SetGPUClockInfoPStates", i, r.core.current});
        return true;
    }
    bool Nv_GetGPUFan(std::int32_t i, NvClockInfo& r) override {
        calls.push_back({"Nv_GetGPUFan", i, r.core.current});
        r.fan.current = 51;
        return true;
    }
    bool Nv_SetGPUFan(std::int32_t i, const NvClockInfo& r) override {
        calls.push_back({"Nv_SetGPUFan", i, r.core.current});
        return true;
    }
    void Nv_UnInitialize() override {}
};

TEST(GreencardCards, EachCardOperationReachesItsEntryPointWithTheCardAndTheRecord) {
    RecordingGreencard greencard;
    GreencardCards cards(greencard);
    NvClockInfo record{};
    record.core.current = 1;
    cards.readFan(2, record);
    cards.readClocks(3, record);
    cards.applyClocks(0, record);
    cards.applyFan(1, record);
    EXPECT_EQ(record.fan.current, 51);
    EXPECT_EQ(record.core.current, 700);
    const std::vector<Call> expected = {{"Nv_GetGPUFan", 2, 1},
                                        {"Nv_GetGPUClockInfoPStates", 3, 1},
                                        {"Nv_SetGPUClockInfoPStates", 0, 700},
                                        {"Nv_SetGPUFan", 1, 700}};
    EXPECT_EQ(greencard.calls, expected);
}

}  // namespace
}  // namespace kelvane
