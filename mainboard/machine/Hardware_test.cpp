#include "mainboard/machine/Hardware.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "mainboard/machine/MachineLogic.h"

namespace simboard {
namespace {

MachineDescription described(const std::string& text) {
    DescriptionResult r = parseMachineDescription(text);
    EXPECT_TRUE(r.machine.has_value()) << (r.errors.empty() ? "" : r.errors.front());
    return r.machine.value_or(MachineDescription{});
}

const char* const kTwoAmdCards =
    "[machine]\nname = two-amd\n"
    "[amd-card]\nname = Kelvane Ember \xE2\x84\xA2\nintegrated = yes\n"
    "core = current 220, minimum 200, maximum 260, default 210, step 1\n"
    "memory = current 400, minimum 333, maximum 533, default 400, step 1\n"
    "voltage = unsupported\n"
    "[amd-card]\nname = Kelvane Blaze\n"
    "core = current 600, minimum 300, maximum 1100, default 600, step 5\n"
    "memory = current 900, minimum 300, maximum 1200, default 900, step 5\n"
    "voltage = current 1150, minimum 900, maximum 1250, default 1150, step 25\n"
    "[lumbra-item]\nid = 0x3020055\nbase = 800\nstep = 25\nsteps = 9\ndefault-step = 4\ncurrent-step = 2\n"
    "[lumbra-item]\nid = 0x3020062\nsupported = no\nbase = 1100\nstep = 25\nsteps = 5\ndefault-step = 2\n"
    "current-step = 2\n";

class HardwareTest : public ::testing::Test {
  protected:
    std::unique_ptr<MachineLayout> owned = std::make_unique<MachineLayout>();
    MachineLayout& m = *owned;
    void SetUp() override { initializeMachine(m); }
};

std::u16string textOf(const DeviceProperty& p) {
    std::u16string s(p.bytes.size() / 2, u'\0');
    std::memcpy(s.data(), p.bytes.data(), p.bytes.size());
    return s;
}

TEST_F(HardwareTest, DevicePropertiesComeAsTheSetupApiHandsThemOut) {
    const auto h = hardwareSnapshot(m);
    ASSERT_EQ(h->pciDeviceCount, defaultMachine().pciDevices.size());
    const PciDeviceSlot* gpu = nullptr;
    for (std::uint32_t i = 0; i < h->pciDeviceCount; ++i)
        if (instanceId(h->pciDevices[i]).find(u"VEN_10DE&DEV_2204") != std::u16string::npos)
            gpu = &h->pciDevices[i];
    ASSERT_NE(gpu, nullptr);

    const auto ids = deviceProperty(*gpu, kPropertyCompatibleIds);
    ASSERT_TRUE(ids);
    EXPECT_EQ(ids->regType, kRegMultiSz);
    const std::u16string list = textOf(*ids);
    EXPECT_EQ(list.substr(list.size() - 27), std::u16string(u"PCI\\CC_030000\0PCI\\CC_0300\0\0", 27))
        << "each id ends in a zero and the list in one more";

    const auto description = deviceProperty(*gpu, kPropertyDescription);
    ASSERT_TRUE(description);
    EXPECT_EQ(description->regType, kRegSz);
    EXPECT_EQ(textOf(*description), std::u16string(u"Kelvane Vortex 880\0", 19));

    const auto bus = deviceProperty(*gpu, kPropertyBusNumber);
    ASSERT_TRUE(bus);
    EXPECT_EQ(bus->regType, kRegDword);
    EXPECT_EQ(bus->bytes, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    const auto address = deviceProperty(*gpu, kPropertyAddress);
    ASSERT_TRUE(address);
    EXPECT_EQ(address->bytes, (std::vector<std::uint8_t>{0, 0, 0, 0}));

    EXPECT_FALSE(deviceProperty(*gpu, 0x0B)) << "properties the board does not model are absent";
    EXPECT_FALSE(deviceProperty(*gpu, kPropertyInstanceId)) << "the instance id is not a registry property";
}

TEST_F(HardwareTest, AbsentAndUnterminatedProperties) {
    MachineDescription d = described(
        "[pci-device]\ninstance-id = ROOT\\SYSTEM\\0000\n"
        "[pci-device]\ninstance-id = PCI\\X\\1\ncompatible-ids =\ndescription = ab\nbus = 3\n");
    installMachine(m, d);
    const auto h = hardwareSnapshot(m);
    for (std::uint32_t p :
         {kPropertyDescription, kPropertyCompatibleIds, kPropertyBusNumber, kPropertyAddress})
        EXPECT_FALSE(deviceProperty(h->pciDevices[0], p)) << p;

    const PciDeviceSlot& device = h->pciDevices[1];
    EXPECT_EQ(deviceProperty(device, kPropertyCompatibleIds)->bytes.size(), 2u)
        << "an empty list is one zero";
    EXPECT_TRUE(deviceProperty(device, kPropertyCompatibleIds, false)->bytes.empty());
    EXPECT_EQ(textOf(*deviceProperty(device, kPropertyDescription, false)), u"ab");
    EXPECT_EQ(deviceProperty(device, kPropertyBusNumber, false)->bytes.size(), 4u)
        << "numbers have no terminator";
    EXPECT_FALSE(deviceProperty(device, kPropertyAddress));

    installMachine(m, defaultMachine());
    const auto again = hardwareSnapshot(m);
    const PciDeviceSlot& gpu = again->pciDevices[2];
    const std::u16string cut = textOf(*deviceProperty(gpu, kPropertyCompatibleIds, false));
    EXPECT_EQ(cut.substr(cut.size() - 11), u"PCI\\CC_0300") << "both the id's and the list's zeros are gone";
}

TEST_F(HardwareTest, NvidiaCurrentsPersistForSupportedEntriesOnly) {
    MachineDescription d = defaultMachine();
    d.nvidiaCards[0].voltage.supported = false;
    d.nvidiaCards.push_back(d.nvidiaCards[0]);
    installMachine(m, d);
    ASSERT_EQ(nvidiaCardCount(m), 2u);

    NvClockInfo record = nvidiaCard(m, 1)->clocks;
    record.entries[kNvCore].current = 800;
    record.entries[kNvMemory].current = 3600;
    record.entries[kNvVoltage].current = 1100;
    record.entries[kNvFan].current = 70;
    record.entries[kNvCore].maximum = 5;  // only current values are taken
    ASSERT_TRUE(applyNvidiaCurrents(m, 1, record, {kNvCore, kNvMemory, kNvVoltage}));

    const NvClockInfo after = nvidiaCard(m, 1)->clocks;
    EXPECT_EQ(after.entries[kNvCore].current, 800);
    EXPECT_EQ(after.entries[kNvCore].maximum, 1200);
    EXPECT_EQ(after.entries[kNvMemory].current, 3600) << "stored as given: the record's own scale";
    EXPECT_EQ(after.entries[kNvVoltage].current, 1000) << "an unsupported entry ignores sets";
    EXPECT_EQ(after.entries[kNvFan].current, 44) << "the fan was not among the entries applied";
    EXPECT_EQ(nvidiaCard(m, 0)->clocks.entries[kNvCore].current, 1050) << "the other card is untouched";

    ASSERT_TRUE(applyNvidiaCurrents(m, 0, record, {kNvFan}));
    EXPECT_EQ(nvidiaCard(m, 0)->clocks.entries[kNvFan].current, 70);
    EXPECT_EQ(nvidiaCard(m, 0)->clocks.entries[kNvCore].current, 1050);

    for (std::int32_t index : {-1, 2, 8, 0x7FFFFFFF}) {
        EXPECT_FALSE(nvidiaCard(m, index)) << index;
        EXPECT_FALSE(applyNvidiaCurrents(m, index, record, {kNvCore})) << index;
    }
}

TEST_F(HardwareTest, AmdBlocksCarryTheirOwnBytesAndTakeBackCurrentsOnly) {
    installMachine(m, described(kTwoAmdCards));
    ASSERT_EQ(amdCardCount(m), 2u);
    const AmdCardSlot integrated = *amdCard(m, 0);
    EXPECT_EQ(std::u16string(integrated.name), u"Kelvane Ember \u2122");
    EXPECT_EQ(integrated.integrated, 1u);
    EXPECT_EQ(integrated.clocks.entries[kAmdVoltage].supported, 0);

    const AmdClockInfo block = amdCard(m, 1)->clocks;
    EXPECT_EQ(block.entries[kAmdVoltage].step, 25);
    EXPECT_NE(std::memcmp(block.entries[kAmdCore].opaque, block.entries[kAmdMemory].opaque, kAmdOpaqueBytes),
              0);
    EXPECT_NE(std::memcmp(block.entries[kAmdCore].opaque, integrated.clocks.entries[kAmdCore].opaque,
                          kAmdOpaqueBytes),
              0);

    AmdClockInfo changed = block;
    changed.entries[kAmdVoltage].current = 1200;
    EXPECT_EQ(applyAmdCurrents(m, 1, changed), std::optional<bool>(true));
    const AmdClockInfo after = amdCard(m, 1)->clocks;
    EXPECT_EQ(after.entries[kAmdVoltage].current, 1200);
    EXPECT_EQ(std::memcmp(&after, &changed, sizeof after), 0) << "nothing but the current value changed";

    AmdClockInfo tampered = block;
    tampered.entries[kAmdMemory].opaque[200] ^= 1;
    tampered.entries[kAmdCore].current = 650;
    EXPECT_EQ(applyAmdCurrents(m, 1, tampered), std::optional<bool>(false)) << "told, but still applied";
    EXPECT_EQ(amdCard(m, 1)->clocks.entries[kAmdCore].current, 650);
    EXPECT_EQ(amdCard(m, 1)->clocks.entries[kAmdMemory].opaque[200], block.entries[kAmdMemory].opaque[200]);

    AmdClockInfo toIntegrated = integrated.clocks;
    toIntegrated.entries[kAmdVoltage].current = 999;
    EXPECT_TRUE(applyAmdCurrents(m, 0, toIntegrated));
    EXPECT_EQ(amdCard(m, 0)->clocks.entries[kAmdVoltage].current, 0) << "an unsupported entry ignores sets";

    EXPECT_FALSE(applyAmdCurrents(m, 2, block));
    EXPECT_FALSE(applyAmdCurrents(m, -1, block));
    EXPECT_FALSE(amdCard(m, 2));
}

TEST_F(HardwareTest, LumbraStepsStayWithinTheItem) {
    installMachine(m, described(kTwoAmdCards));
    const auto item = lumbraItem(m, 0x3020055);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->info.base, 800);
    EXPECT_EQ(item->info.step, 25);
    EXPECT_EQ(item->info.stepCount, 9);
    EXPECT_EQ(item->info.defaultStep, 4);
    EXPECT_EQ(item->currentStep, 2);

    EXPECT_EQ(setLumbraStep(m, 0x3020055, -1), StepResult::outOfRange);
    EXPECT_EQ(setLumbraStep(m, 0x3020055, 9), StepResult::outOfRange);
    EXPECT_EQ(lumbraItem(m, 0x3020055)->currentStep, 2);
    EXPECT_EQ(setLumbraStep(m, 0x3020055, 0), StepResult::applied);
    EXPECT_EQ(lumbraItem(m, 0x3020055)->currentStep, 0);
    EXPECT_EQ(setLumbraStep(m, 0x3020055, 8), StepResult::applied);
    EXPECT_EQ(lumbraItem(m, 0x3020055)->currentStep, 8);

    EXPECT_EQ(setLumbraStep(m, 0x3020062, 1), StepResult::unsupported);
    EXPECT_EQ(lumbraItem(m, 0x3020062)->currentStep, 2);
    EXPECT_EQ(setLumbraStep(m, 0x3010060, 1), StepResult::noSuchItem);
    EXPECT_FALSE(lumbraItem(m, 0));
}

TEST_F(HardwareTest, InstallingReplacesTheHardwareAndNothingElse) {
    m.registers.words[1] = 77;
    setFault(m.faults.nvidiaCountFails, 2);
    appendJournal(m, 1, 2, "Greencard", "Nv_Initialize", {}, 0);
    const std::uint32_t generation = m.hardware.generation;

    installMachine(m, described(kTwoAmdCards));
    EXPECT_EQ(nvidiaCardCount(m), 0u);
    EXPECT_EQ(hardwareSnapshot(m)->pciDeviceCount, 0u);
    EXPECT_STREQ(hardwareSnapshot(m)->name, "two-amd");
    EXPECT_EQ(m.hardware.generation, generation + 2);
    EXPECT_EQ(m.registers.words[1], 77u);
    EXPECT_EQ(faultValue(m.faults.nvidiaCountFails), 2);
    EXPECT_EQ(readJournal(m).size(), 1u);
}

TEST_F(HardwareTest, ReadersNeverSeeHalfAnInstallation) {
    MachineDescription one = defaultMachine();
    one.name = "one";
    MachineDescription two = described(kTwoAmdCards);
    two.name = "two";
    std::atomic<bool> done{false};
    std::atomic<int> torn{0}, reads{0};
    std::thread reader([&] {
        while (!done.load()) {
            const auto h = hardwareSnapshot(m);
            // The name leads the hardware block and the Lumbra items end it.
            const bool isOne =
                std::strcmp(h->name, "one") == 0 && h->nvidiaCardCount == 1 && h->lumbraItems[1].id == 0;
            const bool isTwo = std::strcmp(h->name, "two") == 0 && h->nvidiaCardCount == 0 &&
                               h->lumbraItems[1].id == 0x3020062;
            const bool isDefault = std::strcmp(h->name, "nvidia-one") == 0;
            if (!isOne && !isTwo && !isDefault) ++torn;
            ++reads;
        }
    });
    // The check is only worth something while reads and installations overlap: wait for the reader's
    // first read, then install until it has read often during the installations (a scheduler may
    // otherwise run it only after the last one). The deadline only guards against a stuck reader.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (reads.load() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    const int readsBefore = reads.load();
    for (int i = 0;
         i < 400 || (reads.load() - readsBefore < 400 && std::chrono::steady_clock::now() < deadline); ++i) {
        installMachine(m, i % 2 ? one : two);
        std::this_thread::yield();  // now and then a reader gets through between installations
    }
    done = true;
    reader.join();
    EXPECT_GE(reads.load() - readsBefore, 400) << "reads during the installations";
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
}

}  // namespace
}  // namespace simboard
