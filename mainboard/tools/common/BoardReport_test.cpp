#include "mainboard/tools/common/BoardReport.h"

#include <gtest/gtest.h>

#include <memory>

#include "mainboard/machine/Hardware.h"

namespace simboard {
namespace {

const FaultName& fault(std::string_view name) {
    for (const FaultName& f : kFaultNames)
        if (name == f.name) return f;
    throw std::invalid_argument(std::string(name));
}

std::variant<FaultSetting, std::string> setting(std::string_view name, std::vector<std::string_view> args) {
    return parseFaultSetting(fault(name), args);
}

TEST(BoardReport, FaultSettingsTakeCountsAndTheOptionsOfTheirFault) {
    const auto plain = std::get<FaultSetting>(setting("setupapi-enum", {}));
    EXPECT_EQ(plain.counter, 1);
    EXPECT_EQ(plain.detail.target, kAnyTarget);
    EXPECT_EQ(plain.detail.code, 31u) << "the fault's own error when none is chosen";

    const auto aimed =
        std::get<FaultSetting>(setting("setupapi-enum", {"always", "--device", "1", "--error", "13"}));
    EXPECT_EQ(aimed.counter, kFaultAlways);
    EXPECT_EQ(aimed.detail.target, 1u);
    EXPECT_EQ(aimed.detail.code, 13u);

    const auto property =
        std::get<FaultSetting>(setting("setupapi-property", {"3", "--property", "bus-number"}));
    EXPECT_EQ(property.counter, 3);
    EXPECT_EQ(property.detail.property, kPropertyBusNumber);
    EXPECT_EQ(std::get<FaultSetting>(setting("setupapi-property", {"--property", "0x1C"})).detail.property,
              0x1Cu);

    EXPECT_EQ(std::get<FaultSetting>(setting("nvidia-init", {"--value", "-6"})).detail.code, 0xFFFFFFFAu);
    EXPECT_EQ(std::get<FaultSetting>(setting("lumbra-unsupported", {"--item", "0x3020055"})).detail.target,
              0x3020055u);
    EXPECT_EQ(std::get<FaultSetting>(setting("acpi-read", {"off"})).counter, 0);

    const struct {
        std::string_view name;
        std::vector<std::string_view> args;
        std::string error;
    } wrong[] = {
        {"acpi-read", {"--device", "1"}, "fault acpi-read takes no options, not '--device'"},
        {"setupapi-enum", {"--card", "1"}, "fault setupapi-enum takes --device, --error, not '--card'"},
        {"setupapi-enum", {"--device"}, "--device needs a value"},
        {"setupapi-enum", {"--device", "one"}, "--device: 'one' is not a 32-bit number"},
        {"setupapi-property",
         {"--property", "colour"},
         "--property: 'colour' is not a property (description, "},
        {"nvidia-init", {"--value", "-2147483649"}, "--value: '-2147483649' is not a 32-bit number"},
        {"nvidia-count", {"-1"}, "'-1' is not a count (N, always or off)"},
        {"nvidia-count", {"2147483648"}, "'2147483648' is not a count"},
    };
    for (const auto& w : wrong) {
        const auto result = setting(w.name, w.args);
        ASSERT_TRUE(std::holds_alternative<std::string>(result)) << w.error;
        EXPECT_EQ(std::get<std::string>(result).substr(0, w.error.size()), w.error);
    }
}

TEST(BoardReport, FaultStateNamesItsAim) {
    EXPECT_EQ(describeFaultState(fault("setupapi-property"), 2, {1, kPropertyBusNumber, 13}),
              "next 2     device 1, property bus-number, error 13");
    EXPECT_EQ(describeFaultState(fault("lumbra-unsupported"), kFaultAlways, {0x3020055, kAnyProperty, 0}),
              "always     item 0x3020055");
    EXPECT_EQ(describeFaultState(fault("amd-init"), 0, {kAnyTarget, kAnyProperty, 0xFFFFFFFF}),
              "off        value -1");
}

TEST(BoardReport, FaultStateInJsonNamesTheAimItsFaultTakes) {
    EXPECT_EQ(jsonText(faultStateJson(fault("setupapi-property"), 2, {1, kPropertyBusNumber, 13})),
              R"({"state":"next","next":2,"device":1,"property":"bus-number","error":13})");
    EXPECT_EQ(jsonText(faultStateJson(fault("setupapi-property"), 1, {kAnyTarget, 0x77, 13})),
              R"({"state":"next","next":1,"device":null,"property":119,"error":13})");
    EXPECT_EQ(
        jsonText(faultStateJson(fault("lumbra-unsupported"), kFaultAlways, {0x3020055, kAnyProperty, 0})),
        R"({"state":"always","next":0,"item":50462805})");
    EXPECT_EQ(jsonText(faultStateJson(fault("amd-init"), 0, {kAnyTarget, kAnyProperty, 0xFFFFFFFF})),
              R"({"state":"off","next":0,"value":-1})");
    EXPECT_EQ(jsonText(faultStateJson(fault("acpi-read"), 0, {})), R"({"state":"off","next":0})");
}

TEST(BoardReport, HardwareShowsLiveValues) {
    auto m = std::make_unique<MachineLayout>();
    initializeMachine(*m);
    NvClockInfo record = nvidiaCard(*m, 0)->clocks;
    record.entries[kNvCore].current = 812;
    applyNvidiaCurrents(*m, 0, record, {kNvCore});
    const std::string text = describeHardware(*hardwareSnapshot(*m));
    EXPECT_NE(text.find("machine nvidia-one\n"), std::string::npos);
    EXPECT_NE(text.find("core                  current 812"), std::string::npos) << text;
    EXPECT_NE(text.find("bus 1, device 0, function 0 (address 0x00000000)"), std::string::npos) << text;
    EXPECT_NE(text.find("ROOT\\SYSTEM\\0000\n     description     Plug and Play Software Device Enumerator\n"
                        "     compatible ids  (none)\n     location        no bus number, no address"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("AMD cards (Redcard): none"), std::string::npos);

    installMachine(
        *m, *parseMachineDescription("[amd-card]\nname = Kelvane Ember \xE2\x84\xA2\nintegrated = yes\n"
                                     "[lumbra-item]\nid = 0x3020055\nbase = 800\nstep = 25\nsteps = 9\n"
                                     "default-step = 4\ncurrent-step = 2\n")
                 .machine);
    const std::string amd = describeHardware(*hardwareSnapshot(*m));
    EXPECT_NE(amd.find("0  Kelvane Ember \xE2\x84\xA2   (integrated;"), std::string::npos) << amd;
    EXPECT_NE(
        amd.find("0x3020055               step 2 of 0..8 = 850   (base 800, step 25; default step 4 = 900)"),
        std::string::npos)
        << amd;
}

}  // namespace
}  // namespace simboard
