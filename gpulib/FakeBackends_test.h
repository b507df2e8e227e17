#pragma once
// Made-up back ends for the tests of the card objects and tuning items. Each records the calls that
// reach it; the AMD one keeps applied blocks, so that the next read returns them, as a card would.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gpulib/Backends.h"
#include "gpulib/LumbraLib.h"

namespace kelvane::testing {

struct FakeAmdCard {
    bool integrated = false;
    AmdClockInfo clocks{};
    bool clocksReadable = true;
};

class FakeRedcard final : public RedcardBackend {
  public:
    std::vector<FakeAmdCard> cards;
    bool loaded = true;
    std::int32_t initResult = 0;                // of Amd_Initialize
    std::optional<std::int32_t> reportedCount;  // none: the number of cards
    bool setResult = true;
    std::vector<std::string> calls;  // "Entry(index)" in order
    std::vector<AmdClockInfo> sent;  // the blocks given to Amd_SetGpuClockInfo

    std::int32_t Init() override {
        calls.push_back("Init");
        return loaded ? initResult : 1;
    }
    bool IsLoaded() const override { return loaded; }
    std::int32_t Amd_GetGpuCount() override {
        calls.push_back("Amd_GetGpuCount");
        return reportedCount.value_or(static_cast<std::int32_t>(cards.size()));
    }
    bool Amd_GetGpuName(std::int32_t index, std::wstring& name) override {
        record("Amd_GetGpuName", index);
        name = L"Card " + std::to_wstring(index);
        return true;
    }
    std::int32_t Amd_GetGpuAdapterID(std::int32_t index) override {
        return record("Amd_GetGpuAdapterID", index) + 100;
    }
    std::int32_t Amd_GetGpuConnected(std::int32_t index) override {
        return record("Amd_GetGpuConnected", index) + 200;
    }
    bool Amd_GetGpuClockInfo(std::int32_t index, AmdClockInfo& info) override {
        record("Amd_GetGpuClockInfo", index);
        if (!cards.at(index).clocksReadable) return false;
        info = cards.at(index).clocks;
        return true;
    }
    bool Amd_SetGpuClockInfo(std::int32_t index, const AmdClockInfo& info) override {
        record("Amd_SetGpuClockInfo", index);
        sent.push_back(info);
        cards.at(index).clocks = info;
        return setResult;
    }
    bool Amd_IsIntegrated(std::int32_t index) override {
        record("Amd_IsIntegrated", index);
        return cards.at(index).integrated;
    }
    std::int32_t Amd_GetGpuUsage(std::int32_t index) override {
        return record("Amd_GetGpuUsage", index) + 300;
    }
    void Amd_UnInitialize() override { calls.push_back("Amd_UnInitialize"); }
    std::int32_t Amd_GetGpuFreq(std::int32_t index) override { return record("Amd_GetGpuFreq", index) + 400; }

  private:
    std::int32_t record(const char* entry, std::int32_t index) {
        calls.push_back(std::string(entry) + "(" + std::to_string(index) + ")");
        return index;
    }
};

struct FakeLumbraItem {
    bool supported = true;
    bool describable = true;
    GgrpItemInfo scale{};
    bool readable = true;
    std::int32_t stepNumber = 0;
};

// What the made-up "Lumbra.dll" serves, shared by every instance made of it.
struct LumbraBoard {
    std::map<std::uint32_t, FakeLumbraItem> items;
    std::uint8_t initResult = 1;  // of "LumbraInit"
    int instancesMade = 0;
    std::vector<std::pair<std::uint32_t, std::int32_t>> setItems;
};

class FakeLumbra final : public LumbraLib {
  public:
    explicit FakeLumbra(LumbraBoard& board) : m_board(board) {}

    std::uint8_t Init() override { return m_board.initResult; }
    bool IsItemSupported(std::uint32_t id) override { return find(id) && find(id)->supported; }
    bool GetGGRPItemInfo(std::uint32_t id, GgrpItemInfo& info) override {
        if (!find(id) || !find(id)->describable) return false;
        info = find(id)->scale;
        return true;
    }
    bool SetItem(std::uint32_t id, std::int32_t stepNumber) override {
        m_board.setItems.emplace_back(id, stepNumber);
        if (!find(id)) return false;
        find(id)->stepNumber = stepNumber;
        return true;
    }
    bool GetItem(std::uint32_t id, std::int32_t& stepNumber) override {
        if (!find(id) || !find(id)->readable) return false;
        stepNumber = find(id)->stepNumber;
        return true;
    }

  private:
    FakeLumbraItem* find(std::uint32_t id) {
        const auto it = m_board.items.find(id);
        return it == m_board.items.end() ? nullptr : &it->second;
    }
    LumbraBoard& m_board;
};

inline LumbraLibAccess accessTo(LumbraBoard& board) {
    return LumbraLibAccess([&board] {
        ++board.instancesMade;
        return std::make_unique<FakeLumbra>(board);
    });
}

// A Lumbra scale: base value, step size, number of steps, default step.
inline GgrpItemInfo scaleOf(std::int32_t base, std::int32_t stepSize, std::int32_t stepCount,
                            std::int32_t defaultStep) {
    GgrpItemInfo info;
    info.base = base;
    info.stepSize = stepSize;
    info.stepCount = stepCount;
    info.defaultStep = defaultStep;
    return info;
}

inline AmdClockEntry entryOf(std::int32_t current, std::int32_t minimum, std::int32_t maximum,
                             std::int32_t defaultValue, std::int32_t step, std::uint8_t supported = 1) {
    AmdClockEntry e;
    e.current = current;
    e.minimum = minimum;
    e.maximum = maximum;
    e.defaultValue = defaultValue;
    e.step = step;
    e.supported = supported;
    return e;
}

}  // namespace kelvane::testing
