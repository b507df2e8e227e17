#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "mainboard/machine/MachineDescription.h"

namespace simboard {
namespace {

std::string fileText(const std::string& name) {
    std::ifstream in(std::string(KV_MACHINES_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

MachineDescription shipped(const std::string& name) {
    const std::string text = fileText(name);
    EXPECT_FALSE(text.empty()) << name;
    DescriptionResult r = parseMachineDescription(text);
    EXPECT_TRUE(r.errors.empty()) << name << ": " << r.errors.front();
    return r.machine.value_or(MachineDescription{});
}

std::vector<std::u16string> vendorsOfDisplays(const MachineDescription& m) {
    std::vector<std::u16string> vendors;
    for (const PciDeviceDescription& d : m.pciDevices) {
        if (!d.compatibleIds) continue;
        for (const std::u16string& id : *d.compatibleIds) {
            if (id.find(u"PCI\\CC_0300") == std::u16string::npos) continue;
            vendors.push_back(d.instanceId.substr(d.instanceId.find(u"VEN_") + 4, 4));
            break;
        }
    }
    return vendors;
}

TEST(ShippedMachines, TheDefaultIsNvidiaOneByteForByte) {
    EXPECT_EQ(defaultMachineText(), fileText("nvidia-one.ini"));
    EXPECT_EQ(shipped("nvidia-one.ini").name, "nvidia-one");
}

TEST(ShippedMachines, AmdTwoHasAnIntegratedCardFirstAndItsLumbraItems) {
    const MachineDescription m = shipped("amd-two.ini");
    EXPECT_EQ(vendorsOfDisplays(m), (std::vector<std::u16string>{u"1002", u"1002"}));
    ASSERT_EQ(m.amdCards.size(), 2u);
    EXPECT_TRUE(m.amdCards[0].integrated);
    EXPECT_FALSE(m.amdCards[1].integrated);
    EXPECT_TRUE(m.nvidiaCards.empty());
    std::vector<std::uint32_t> ids;
    for (const LumbraItemDescription& item : m.lumbraItems) ids.push_back(item.id);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0x3010060, 0x3010063, 0x3020055, 0x3020062}));
    // The integrated core clock: 200 to 250 in steps of 1, default 210, once divided by 100.
    const LumbraItemDescription& core = m.lumbraItems[0];
    EXPECT_EQ(((core.stepCount - 1) * core.step + core.base) / 100, 250);
    EXPECT_EQ((core.defaultStep * core.step + core.base) / 100, 210);
}

TEST(ShippedMachines, MixedVendorsAndNoDisplay) {
    EXPECT_EQ(vendorsOfDisplays(shipped("mixed-vendors.ini")),
              (std::vector<std::u16string>{u"10DE", u"1002"}));
    const MachineDescription none = shipped("no-display.ini");
    EXPECT_TRUE(vendorsOfDisplays(none).empty());
    EXPECT_FALSE(none.pciDevices.empty());
    EXPECT_TRUE(none.nvidiaCards.empty() && none.amdCards.empty());
}

// The machines that the remote-link reference's examples run on hold what those examples rely on.
TEST(ShippedMachines, TheReferenceMachinesHoldTheirOddValues) {
    const MachineDescription odd = shipped("odd-values.ini");
    ASSERT_EQ(odd.nvidiaCards.size(), 1u);
    const NvidiaCardDescription& card = odd.nvidiaCards[0];
    EXPECT_EQ(card.core.minimum, -1);
    EXPECT_EQ(card.core.defaultValue, -2);
    EXPECT_EQ(card.memory.current, 1901);
    EXPECT_EQ(card.fan.current, 70000);
    EXPECT_FALSE(card.memory.supported || card.fan.supported) << "the start-up defaults leave them";
    const MachineDescription fixed = shipped("voltage-fixed.ini");
    ASSERT_EQ(fixed.nvidiaCards.size(), 1u);
    EXPECT_FALSE(fixed.nvidiaCards[0].voltage.supported);
    EXPECT_TRUE(fixed.nvidiaCards[0].core.supported);
    EXPECT_EQ(vendorsOfDisplays(fixed), std::vector<std::u16string>{u"10DE"});
}

}  // namespace
}  // namespace simboard
