#include "gpulib/GpuManager.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "gpulib/FakeBackends_test.h"
#include "gpulib/FakeSetupApi_test.h"

namespace kelvane {
namespace {

using testing::accessTo;
using testing::displayController;

class FakeGreencard final : public GreencardBackend {
  public:
    bool loaded = true;
    std::uint8_t initResult = 0;
    bool countAnswers = true;
    std::uint32_t count = 2;
    std::vector<std::string> calls;

    std::uint8_t Init() override {
        calls.push_back("Init");
        return loaded ? initResult : 0;
    }
    bool IsLoaded() const override { return loaded; }
    bool Nv_GetGPUCount(std::uint32_t& n) override {
        calls.push_back("Nv_GetGPUCount");
        if (countAnswers) n = count;
        return countAnswers;
    }
    // The card manager uses nothing else of the back end.
    bool Nv_GetGPUName(std::int32_t, std::string&) override { return false; }
    bool Nv_GetGPUClockInfoPStates(std::int32_t, NvClockInfo&) override { return false; }
    bool Nv_SetGPUClockInfoPStates(std::int32_t, const NvClockInfo&) override { return false; }
    bool Nv_GetGPUFan(std::int32_t, NvClockInfo&) override { return false; }
    bool Nv_SetGPUFan(std::int32_t, const NvClockInfo&) override { return false; }
    void Nv_UnInitialize() override {}
};

class CardManager : public ::testing::Test {
  protected:
    testing::FakeSetupApi setupApi;
    testing::RecordingDeviceLog log;
    FakeGreencard greencard;
    testing::FakeRedcard redcard;
    testing::LumbraBoard board;
    LumbraLibAccess lumbra = accessTo(board);

    std::unique_ptr<IGpuManager> create(std::vector<std::wstring> instanceIds) {
        for (std::wstring& id : instanceIds) setupApi.devices.push_back(displayController(std::move(id)));
        IGpuDevice devices(setupApi, log);
        return CreateGpuManager(devices, {greencard, redcard, lumbra});
    }
};

TEST_F(CardManager, VendorIdTenDeChoosesTheNvidiaBackEnd) {
    auto manager = create({L"PCI\\VEN_10DE&DEV_1C82\\0"});
    ASSERT_TRUE(manager);
    EXPECT_EQ(log.preparations, 1) << "detection prepared the log";
    EXPECT_TRUE(manager->Init());
    EXPECT_TRUE(manager->IsNvidiaGpu());
    EXPECT_EQ(manager->GetGpuCount(), 2);
    EXPECT_EQ(greencard.calls, (std::vector<std::string>{"Init", "Nv_GetGPUCount"}));
    EXPECT_TRUE(redcard.calls.empty());
}

TEST_F(CardManager, AnyOtherVendorIdChoosesTheAmdBackEnd) {
    redcard.cards.resize(1);
    auto manager = create({L"PCI\\VEN_10de&DEV_1C82\\0", L"PCI\\VEN_10de&DEV_1C83\\1"});
    ASSERT_TRUE(manager);
    EXPECT_TRUE(manager->Init());
    EXPECT_FALSE(manager->IsNvidiaGpu()) << "the comparison with \"10DE\" is exact";
    EXPECT_EQ(manager->GetGpuCount(), 1);
    EXPECT_TRUE(greencard.calls.empty());
}

TEST_F(CardManager, NoDisplayDeviceOrMixedVendorsGiveNoManager) {
    EXPECT_FALSE(create({}));
    setupApi.devices.clear();
    EXPECT_FALSE(create({L"PCI\\VEN_10DE&DEV_1C82\\0", L"PCI\\VEN_1002&DEV_67DF\\1"}));
    EXPECT_TRUE(greencard.calls.empty());
    EXPECT_TRUE(redcard.calls.empty());
}

TEST_F(CardManager, NvidiaCountIsOneWhenTheBackEndCannotTell) {
    greencard.countAnswers = false;
    auto manager = create({L"PCI\\VEN_10DE&DEV_1C82\\0"});
    manager->Init();
    EXPECT_EQ(manager->GetGpuCount(), 1);
}

TEST_F(CardManager, NvidiaInitIsTrueWhenInitialisedWithZeroOrWhenTheLibraryIsMissing) {
    greencard.initResult = 1;
    EXPECT_FALSE(create({L"PCI\\VEN_10DE&DEV_1C82\\0"})->Init());

    greencard.loaded = false;
    greencard.calls.clear();
    auto manager = create({});
    EXPECT_TRUE(manager->Init());
    EXPECT_TRUE(manager->IsNvidiaGpu());
    EXPECT_EQ(manager->GetGpuCount(), 0);
    EXPECT_EQ(greencard.calls, std::vector<std::string>{"Init"}) << "no count asked of a library not loaded";
}

class AmdCards : public CardManager {
  protected:
    std::unique_ptr<IGpuManager> initialised() {
        auto manager = create({L"PCI\\VEN_1002&DEV_9874\\0"});
        EXPECT_TRUE(manager);
        initResult = manager->Init();
        return manager;
    }
    bool initResult = false;
};

TEST_F(AmdCards, OneCardObjectPerCardByKind) {
    redcard.cards.resize(2);
    redcard.cards[0].integrated = true;
    auto manager = initialised();
    EXPECT_TRUE(initResult);
    ASSERT_EQ(manager->GetGpuCount(), 2);
    auto* integrated = dynamic_cast<GpuAmdIntegrated*>(&manager->GetGpu(0));
    auto* discrete = dynamic_cast<GpuAmdDiscrete*>(&manager->GetGpu(1));
    ASSERT_TRUE(integrated && discrete);
    EXPECT_EQ(integrated->GetIndex(), 0);
    EXPECT_EQ(discrete->GetIndex(), 1);
    EXPECT_EQ(redcard.calls.at(0), "Init");
    EXPECT_EQ(redcard.calls.at(1), "Amd_GetGpuCount");

    ASSERT_EQ(discrete->GetOCItemCount(), 3);
    EXPECT_EQ(discrete->GetOCItem(0).GetName(), L"Core Clock");
    EXPECT_EQ(discrete->GetOCItem(1).GetName(), L"Memory Clock");
    EXPECT_EQ(discrete->GetOCItem(2).GetName(), L"Voltage Clock");
}

TEST_F(AmdCards, IntegratedCardOffersTheVoltagesThatLumbraCanRead) {
    redcard.cards = {{.integrated = true}, {.integrated = true}};
    board.items[GpuCoreVol::kItemId] = {.scale = testing::scaleOf(800, 25, 9, 4), .stepNumber = 1};
    board.items[GpuSPVol::kItemId] = {.scale = testing::scaleOf(900, 25, 9, 4), .stepNumber = 1};
    auto manager = initialised();
    const GpuChip& card = manager->GetGpu(0);
    ASSERT_EQ(card.GetOCItemCount(), 4);
    const wchar_t* names[] = {L"Core Clock", L"SidePort Clock", L"Core Voltage", L"SidePort Voltage"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(card.GetOCItem(i).GetName(), names[i]);
    EXPECT_EQ(card.GetOCItem(2).GetMin(), 800);

    board.items[GpuCoreVol::kItemId].supported = false;
    board.items[GpuSPVol::kItemId].readable = false;
    EXPECT_EQ(GpuAmdIntegrated(redcard, lumbra, 1).GetOCItemCount(), 2);
}

TEST_F(AmdCards, WithoutLumbraIntegratedCardsHaveTheirClocksOnly) {
    redcard.cards = {{.integrated = true}};
    board.initResult = 0;
    auto manager = initialised();
    EXPECT_EQ(manager->GetGpu(0).GetOCItemCount(), 2);
}

TEST_F(AmdCards, LibraryNotLoadedIsAskedNothingMore) {
    redcard.cards.resize(2);
    redcard.loaded = false;
    auto manager = initialised();
    EXPECT_FALSE(initResult);
    EXPECT_EQ(manager->GetGpuCount(), 0);
    EXPECT_EQ(redcard.calls, std::vector<std::string>{"Init"});
}

TEST_F(AmdCards, FailedInitialisationStillBuildsTheCardsButReportsFalse) {
    redcard.cards.resize(1);
    redcard.initResult = -3;
    auto manager = initialised();
    EXPECT_FALSE(initResult);
    EXPECT_EQ(manager->GetGpuCount(), 1);
}

TEST_F(AmdCards, NegativeCountMeansNoCardsAndAHugeOneAtMostTheLimit) {
    constexpr std::int32_t most = BasicAmdItem::kMostCards;
    const struct {
        std::int32_t reported, built;
    } cases[] = {{-2, 0},      {INT32_MIN, 0},   {most - 1, most - 1},
                 {most, most}, {most + 1, most}, {INT32_MAX, most}};
    redcard.cards.resize(most + 1);  // a card beyond those: asking about it fails the test
    for (const auto& c : cases) {
        redcard.calls.clear();
        redcard.reportedCount = c.reported;
        EXPECT_EQ(initialised()->GetGpuCount(), c.built) << c.reported;
        const std::string beyond = "Amd_IsIntegrated(" + std::to_string(c.built) + ")";
        EXPECT_EQ(std::find(redcard.calls.begin(), redcard.calls.end(), beyond), redcard.calls.end())
            << c.reported;
    }
}

TEST_F(AmdCards, CardsAnswerForTheirOwnIndex) {
    redcard.cards.resize(2);
    auto manager = initialised();
    GpuChip& card = manager->GetGpu(1);
    std::wstring name;
    EXPECT_TRUE(card.GetGpuName(name));
    EXPECT_EQ(name, L"Card 1");
    EXPECT_EQ(card.GetGpuAdapterID(), 101);
    EXPECT_EQ(card.GetGpuConnected(), 201);
    EXPECT_EQ(card.GetGpuUsage(), 301);
    EXPECT_EQ(card.GetGpuFreq(), 401);
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)  // a Windows program reports it in a message box
TEST_F(AmdCards, CardIndexAtTheCountIsAProgrammingError) {
    redcard.cards.resize(2);
    auto manager = initialised();
    EXPECT_EQ(dynamic_cast<GpuAmd&>(manager->GetGpu(1)).GetIndex(), 1);
    EXPECT_DEATH(manager->GetGpu(2), "Assertion failed: Index < m_count, file gpulib/GpuManager.cpp");
}
#endif

}  // namespace
}  // namespace kelvane
