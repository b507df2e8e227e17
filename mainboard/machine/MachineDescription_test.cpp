#include "mainboard/machine/MachineDescription.h"

#include <gtest/gtest.h>

#include "mainboard/machine/MachineLayout.h"

namespace simboard {
namespace {

std::u16string u16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

MachineDescription parsed(const std::string& text) {
    DescriptionResult r = parseMachineDescription(text);
    EXPECT_TRUE(r.errors.empty()) << r.errors.front();
    return r.machine.value_or(MachineDescription{});
}

// The first error of a description that must not load.
std::string firstError(const std::string& text) {
    DescriptionResult r = parseMachineDescription(text);
    EXPECT_FALSE(r.machine.has_value()) << text;
    return r.errors.empty() ? std::string("(no error)") : r.errors.front();
}

const std::string kDevice = "[pci-device]\ninstance-id = PCI\\VEN_10DE&DEV_2204\\0\n";
const std::string kNvidia = "[nvidia-card]\nname = Kelvane Vortex 880\n";

TEST(MachineDescription, DefaultMachineIsOneNvidiaCardBehindOneDisplayDevice) {
    const MachineDescription m = defaultMachine();
    ASSERT_EQ(m.nvidiaCards.size(), 1u);
    EXPECT_TRUE(m.amdCards.empty());
    EXPECT_TRUE(m.lumbraItems.empty());
    int displays = 0;
    for (const PciDeviceDescription& d : m.pciDevices) {
        if (!d.compatibleIds) continue;
        const auto& ids = *d.compatibleIds;
        if (std::find(ids.begin(), ids.end(), u"PCI\\CC_0300") == ids.end()) continue;
        ++displays;
        EXPECT_EQ(d.instanceId.substr(0, 22), u"PCI\\VEN_10DE&DEV_2204&");
        EXPECT_NE(std::find(ids.begin(), ids.end(), u"PCI\\CC_030000"), ids.end());
        EXPECT_TRUE(d.busNumber && d.address && d.description);
    }
    EXPECT_EQ(displays, 1);

    const NvidiaCardDescription& card = m.nvidiaCards[0];
    EXPECT_EQ(card.core.minimum, 300);
    EXPECT_EQ(card.core.maximum, 1200);
    EXPECT_EQ(card.memory.current, 1848) << "the record holds the memory clock doubled";
    EXPECT_EQ(card.fan.current, 44);
    for (const ClockFigures* f : {&card.core, &card.memory, &card.voltage, &card.fan})
        EXPECT_TRUE(f->supported);
}

TEST(MachineDescription, ReadsEveryKeyOfEverySection) {
    const MachineDescription m = parsed(
        "\xEF\xBB\xBF# a comment\r\n"
        "; another\r\n"
        "[machine]\r\n"
        "name = test rig\r\n"
        "[pci-device]\n"
        "instance-id = PCI\\VEN_1002&DEV_73BF\\6&1&0\n"
        "compatible-ids = PCI\\VEN_1002&CC_030000 ,  pci\\cc_0300\n"
        "description = Kelvane Blaze 7700 \xE2\x84\xA2\n"
        "bus = 0x1F\n"
        "device = 2\n"
        "function = 1\n"
        "[pci-device]\n"
        "instance-id = ROOT\\SYSTEM\\0000\n"
        "compatible-ids =\n"
        "[nvidia-card]\n"
        "name = Kelvane Vortex 880\n"
        "core = current 1050, minimum 300, maximum 1200, default 1050, pass -7\n"
        "voltage = unsupported\n"
        "fan = current 44, minimum 30, maximum 100, default 44, unsupported\n"
        "memory-mb = 12288\n"
        "usage = 3\n"
        "mode = -1\n"
        "[amd-card]\n"
        "name = Kelvane Ember\n"
        "integrated = yes\n"
        "core = current 220, minimum 200, maximum 260, default 210, step 1\n"
        "usage = 7\n"
        "frequency = 220\n"
        "hybrid-mode = 2\n"
        "[amd-card]\n"
        "name = Kelvane Blaze\n"
        "connected = 0\n"
        "adapter-id = 0x30\n"
        "[lumbra-item]\n"
        "id = 0x3020055\n"
        "supported = no\n"
        "base = 800\n"
        "step = -25\n"
        "steps = 9\n"
        "default-step = 8\n"
        "current-step = 0\n");
    EXPECT_EQ(m.name, "test rig");
    ASSERT_EQ(m.pciDevices.size(), 2u);
    const PciDeviceDescription& gpu = m.pciDevices[0];
    EXPECT_EQ(gpu.instanceId, u16("PCI\\VEN_1002&DEV_73BF\\6&1&0"));
    EXPECT_EQ(*gpu.compatibleIds, (std::vector<std::u16string>{u"PCI\\VEN_1002&CC_030000", u"pci\\cc_0300"}))
        << "ids are taken as written, letter case included";
    EXPECT_EQ(*gpu.description, u"Kelvane Blaze 7700 \u2122");
    EXPECT_EQ(*gpu.busNumber, 0x1Fu);
    EXPECT_EQ(*gpu.address, 0x00020001u) << "device in the high half, function in the low half";
    const PciDeviceDescription& root = m.pciDevices[1];
    ASSERT_TRUE(root.compatibleIds.has_value()) << "an empty list is a list";
    EXPECT_TRUE(root.compatibleIds->empty());
    EXPECT_FALSE(root.description || root.busNumber || root.address);

    ASSERT_EQ(m.nvidiaCards.size(), 1u);
    const NvidiaCardDescription& nv = m.nvidiaCards[0];
    EXPECT_TRUE(nv.core.supported);
    EXPECT_EQ(nv.core.passThrough, -7);
    EXPECT_FALSE(nv.memory.supported) << "an entry left out is unsupported";
    EXPECT_FALSE(nv.voltage.supported);
    EXPECT_FALSE(nv.fan.supported);
    EXPECT_EQ(nv.fan.current, 44) << "an unsupported entry may still carry figures";
    EXPECT_EQ(nv.memoryMegabytes, 12288);
    EXPECT_EQ(nv.mode, -1);

    ASSERT_EQ(m.amdCards.size(), 2u);
    EXPECT_TRUE(m.amdCards[0].integrated);
    EXPECT_EQ(m.amdCards[0].core.step, 1);
    EXPECT_EQ(m.amdCards[0].adapterId, 0) << "the adapter id defaults to the card's index";
    EXPECT_EQ(m.amdCards[0].connected, 1);
    EXPECT_EQ(m.amdCards[0].hybridMode, 2);
    EXPECT_FALSE(m.amdCards[1].integrated);
    EXPECT_EQ(m.amdCards[1].adapterId, 0x30);
    EXPECT_EQ(m.amdCards[1].connected, 0);

    ASSERT_EQ(m.lumbraItems.size(), 1u);
    const LumbraItemDescription& item = m.lumbraItems[0];
    EXPECT_EQ(item.id, 0x3020055u);
    EXPECT_FALSE(item.supported);
    EXPECT_EQ(item.step, -25);
    EXPECT_EQ(item.stepCount, 9);
    EXPECT_EQ(item.defaultStep, 8);
}

TEST(MachineDescription, ErrorsNameTheLineAndWhatIsWrong) {
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"[pci]\n", "line 1: unknown section [pci]"},
        {"name = x\n", "line 1: 'name' stands before any [section]"},
        {"[machine\n", "line 1: a section header ends with ']'"},
        {"[machine]\nname = a\n[machine]\n", "line 3: a second [machine] section"},
        {kNvidia + "just words\n", "line 3: expected 'key = value' or '[section]', found 'just words'"},
        {kNvidia + "colour = green\n", "line 3: [nvidia-card] colour: unknown key"},
        {kNvidia + "usage = 1\nusage = 2\n", "line 4: [nvidia-card] usage: given twice in this section"},
        {kNvidia + "usage = many\n", "line 3: [nvidia-card] usage: 'many' is not a whole number"},
        {kNvidia + "usage = 2147483648\n", "line 3: [nvidia-card] usage: '2147483648' is out of range"},
        {kNvidia + "core = current 1, minimum 0, maximum 2\n",
         "line 3: [nvidia-card] core: default is missing"},
        {kNvidia + "core = current 1, minimum 5, maximum 2, default 1\n",
         "line 3: [nvidia-card] core: minimum 5 is above maximum 2"},
        {kNvidia + "core = current 1, minimum 0, maximum 2, default 1, step 1\n",
         "line 3: [nvidia-card] core: 'step 1' is not a figure"},
        {kNvidia + "core = current x, minimum 0, maximum 2, default 1\n",
         "line 3: [nvidia-card] core: current: 'x' is not a whole number"},
        {kNvidia + "fan = current 1, current 2\n", "line 3: [nvidia-card] fan: current is given twice"},
        {"[nvidia-card]\nname = Vortex \xC3\xA9\n",
         "line 2: [nvidia-card] name: needs 1 to 255 printable ASCII"},
        {"[amd-card]\nname = A\ncore = current 1, minimum 0, maximum 2, default 1\n",
         "line 3: [amd-card] core: step is missing"},
        {"[amd-card]\nname = A\nintegrated = maybe\n",
         "line 3: [amd-card] integrated: 'maybe' is neither yes nor no"},
        {"[amd-card]\nname = bad \xC3\x28 text\n", "line 2: [amd-card] name: is not UTF-8 text"},
        {"[amd-card]\nusage = 1\n", "line 1: [amd-card] has no name"},
        {"[pci-device]\nbus = 1\n", "line 1: [pci-device] has no instance-id"},
        {kDevice + "device = 1\n", "line 1: [pci-device] needs both device and function, or neither"},
        {kDevice + "function = 65536\n",
         "line 3: [pci-device] function: '65536' is out of range (0 to 65535)"},
        {kDevice + "bus = -1\n", "line 3: [pci-device] bus: '-1' is out of range"},
        {kDevice + "compatible-ids = PCI\\CC_0300,,PCI\\CC_030000\n",
         "line 3: [pci-device] compatible-ids: '' is not a device id"},
        {kDevice + "description = tab\there\n", "line 3: [pci-device] description: is not UTF-8 text"},
        {"[pci-device]\ninstance-id = PCI\\VEN 10DE\n",
         "line 2: [pci-device] instance-id: is not a device id"},
        {kDevice + "[pci-device]\ninstance-id = pci\\ven_10de&dev_2204\\0\n",
         "line 3: instance id already used by the device at line 1"},
        {"[lumbra-item]\nid = 1\nbase = 0\nstep = 1\nsteps = 4\ndefault-step = 4\ncurrent-step = 0\n",
         "line 1: default-step 4 is not one of the 4 steps (0 to 3)"},
        {"[lumbra-item]\nid = 1\nbase = 0\nstep = 1\nsteps = 4\ndefault-step = 0\ncurrent-step = -1\n",
         "line 1: current-step -1 is not one of the 4 steps"},
        {"[lumbra-item]\nsteps = 0\n", "line 2: [lumbra-item] steps: an item has at least 1 step"},
        {"[lumbra-item]\nid = 7\n", "line 1: [lumbra-item] has no base"},
    };
    for (const auto& c : cases) EXPECT_EQ(firstError(c.text).substr(0, c.error.size()), c.error) << c.text;
}

TEST(MachineDescription, ReportsEveryProblemAndKeepsNothing) {
    DescriptionResult r = parseMachineDescription(
        "[nvidia-card]\nname = ok\nusage = x\n[bogus]\nkey = ignored with its refused section\n"
        "[lumbra-item]\nid = 1\nbase = 0\nstep = 1\nsteps = 2\ndefault-step = 0\ncurrent-step = 0\n"
        "[lumbra-item]\nid = 1\nbase = 0\nstep = 1\nsteps = 2\ndefault-step = 0\ncurrent-step = 0\n");
    EXPECT_FALSE(r.machine.has_value());
    ASSERT_EQ(r.errors.size(), 3u);
    EXPECT_EQ(r.errors[0].substr(0, 7), "line 3:");
    EXPECT_EQ(r.errors[1].substr(0, 7), "line 4:");
    EXPECT_EQ(r.errors[2], "line 13: item id already used by the item at line 6");
}

TEST(MachineDescription, LimitsOfTextsAndCountsHoldAtTheEdge) {
    const auto device = [](const std::string& key, const std::string& value) {
        return kDevice + key + " = " + value + "\n";
    };
    EXPECT_TRUE(
        parseMachineDescription(device("description", std::string(kDescriptionUnits - 1, 'd'))).machine);
    EXPECT_EQ(firstError(device("description", std::string(kDescriptionUnits, 'd'))),
              "line 3: [pci-device] description: needs 1 to 1023 characters (has 1024)");
    // A character outside the basic plane takes two UTF-16 units.
    EXPECT_TRUE(parseMachineDescription(
                    device("description", std::string(kDescriptionUnits - 3, 'd') + "\xF0\x9F\x82\xA1"))
                    .machine);
    EXPECT_FALSE(parseMachineDescription(
                     device("description", std::string(kDescriptionUnits - 2, 'd') + "\xF0\x9F\x82\xA1"))
                     .machine);

    // Compatible ids: each id and its terminator, and the list's own terminator.
    const std::string id(kCompatibleIdsUnits / 2 - 2, 'C');  // two ids fill the list exactly
    EXPECT_TRUE(parseMachineDescription(device("compatible-ids", id + "," + id + "X")).machine);
    EXPECT_EQ(firstError(device("compatible-ids", id + "X," + id + "X")).substr(0, 64),
              "line 3: [pci-device] compatible-ids: the list takes 1025 charact");

    const auto instance = [](std::size_t length) {
        return "[pci-device]\ninstance-id = " + std::string(length, 'I') + "\n";
    };
    EXPECT_TRUE(parseMachineDescription(instance(kInstanceIdUnits - 1)).machine);
    EXPECT_FALSE(parseMachineDescription(instance(kInstanceIdUnits)).machine);

    const auto nvidiaName = [](std::size_t length) {
        return "[nvidia-card]\nname = " + std::string(length, 'N') + "\n";
    };
    EXPECT_TRUE(parseMachineDescription(nvidiaName(kNvidiaNameBytes - 1)).machine);
    EXPECT_FALSE(parseMachineDescription(nvidiaName(kNvidiaNameBytes)).machine);
    const auto amdName = [](std::size_t length) {
        return "[amd-card]\nname = " + std::string(length, 'A') + "\n";
    };
    EXPECT_TRUE(parseMachineDescription(amdName(kAmdNameUnits - 1)).machine);
    EXPECT_FALSE(parseMachineDescription(amdName(kAmdNameUnits)).machine);

    std::string cards;
    for (std::uint32_t i = 0; i < kMaxNvidiaCards; ++i) cards += kNvidia;
    EXPECT_EQ(parsed(cards).nvidiaCards.size(), kMaxNvidiaCards);
    EXPECT_EQ(firstError(cards + kNvidia),
              "line " + std::to_string(2 * kMaxNvidiaCards + 1) + ": a machine holds at most 8 NVIDIA cards");
}

}  // namespace
}  // namespace simboard
