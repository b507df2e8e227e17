#include "gpulib/GpuDevice.h"

#include <gtest/gtest.h>

#include "gpulib/FakeSetupApi_test.h"

namespace kelvane {
namespace {

using testing::displayController;
using testing::FakeDevice;

constexpr wchar_t kNvidiaId[] = L"PCI\\VEN_10DE&DEV_1C82&SUBSYS_37131462&REV_A1\\4&2A3F7C1B&0&0008";
constexpr wchar_t kAmdId[] = L"PCI\\VEN_1002&DEV_67DF&SUBSYS_E3661DA2&REV_E7\\4&1B2E4C5D&0&0010";

FakeDevice networkAdapter() {
    FakeDevice d;
    d.compatibleIds = {L"PCI\\VEN_8086&CC_020000", L"PCI\\CC_0200"};
    d.instanceId = L"PCI\\VEN_8086&DEV_15B8\\3&11583659&0&FE";
    return d;
}

class DeviceList : public ::testing::Test {
  protected:
    testing::FakeSetupApi setupApi;
    testing::RecordingDeviceLog log;
    IGpuDevice list{setupApi, log};

    std::vector<std::wstring> found() const {
        std::vector<std::wstring> ids;
        for (std::uint32_t i = 0; i < list.Count(); ++i) ids.push_back(list.GetDevice(i).InstanceId);
        return ids;
    }
};

TEST_F(DeviceList, RecordsEachDisplayControllerOnceWithItsProperties) {
    FakeDevice nvidia = displayController(kNvidiaId);
    nvidia.bus = 3;
    nvidia.address = 0x00020001;
    nvidia.description = L"Greencard GTX 1050 Ti";
    setupApi.devices = {networkAdapter(), nvidia, networkAdapter()};

    EXPECT_TRUE(list.Detect());
    EXPECT_EQ(log.preparations, 1);
    ASSERT_EQ(list.Count(), 1u);
    const _PCI_INFO& d = list.GetDevice(0);
    EXPECT_EQ(d.InstanceId, kNvidiaId);
    EXPECT_EQ(d.Description, L"Greencard GTX 1050 Ti");
    EXPECT_EQ(d.VendorId, L"10DE");
    EXPECT_EQ(d.DeviceId, L"1C82");
    EXPECT_EQ(d.BusNumber, 3u);
    EXPECT_EQ(d.DeviceNumber, 2u);
    EXPECT_EQ(d.FunctionNumber, 1u);
    EXPECT_EQ(log.messages,
              std::vector<std::wstring>{L"Gpu InstanceID is: " + std::wstring(kNvidiaId) + L"\n"})
        << "two matching compatible ids, one record and one line";
    EXPECT_EQ(setupApi.setsOpen, 0);
}

TEST_F(DeviceList, CompatibleIdsMatchWhateverTheirCase) {
    FakeDevice lower;
    lower.compatibleIds = {L"pci\\ven_1002&cc_030000", L"pci\\cc_030000"};
    lower.instanceId = kAmdId;
    setupApi.devices = {lower};
    ASSERT_EQ(list.Enumerate(), 1u);
    EXPECT_EQ(list.GetVendorId(0), L"1002");
}

TEST_F(DeviceList, MachineWithoutDisplayControllerHasNone) {
    setupApi.devices = {networkAdapter()};
    EXPECT_FALSE(list.Detect());
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_TRUE(list.IsSameVendor());
    EXPECT_FALSE(list.IsGpuDeviceSupport(0));
    EXPECT_TRUE(log.messages.empty());
}

TEST_F(DeviceList, SameVendorComparesEveryDeviceWithTheFirst) {
    const std::wstring nvidia2 = L"PCI\\VEN_10DE&DEV_1B80\\4&0&0&0018";
    setupApi.devices = {displayController(kNvidiaId), displayController(nvidia2)};
    list.Enumerate();
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_TRUE(list.IsSameVendor());
    EXPECT_TRUE(list.IsGpuDeviceSupport(1));
    EXPECT_FALSE(list.IsGpuDeviceSupport(2));

    setupApi.devices.push_back(displayController(kAmdId));
    list.Enumerate();
    EXPECT_FALSE(list.IsSameVendor());
    setupApi.devices = {displayController(L"PCI\\VEN_10de&DEV_1C82\\1"), displayController(kNvidiaId)};
    list.Enumerate();
    EXPECT_FALSE(list.IsSameVendor()) << "vendor ids compare exactly";
}

TEST_F(DeviceList, DevicesWhoseIdsCannotBeReadAreSkippedSilently) {
    FakeDevice tooManyIds = displayController(L"PCI\\VEN_1002&DEV_0001\\1");
    tooManyIds.compatibleIds.insert(tooManyIds.compatibleIds.begin(), 40,
                                    std::wstring(20, L'X'));  // > 1024 bytes
    FakeDevice noIds = displayController(L"PCI\\VEN_1002&DEV_0002\\2");
    noIds.failingProperties[DeviceProperty::CompatibleIds] = 13;
    FakeDevice noInstanceId = displayController(L"PCI\\VEN_1002&DEV_0003\\3");
    noInstanceId.instanceIdError = 13;
    setupApi.devices = {tooManyIds, noIds, noInstanceId, displayController(kAmdId)};
    EXPECT_EQ(list.Enumerate(), 1u);
    EXPECT_EQ(found(), std::vector<std::wstring>{kAmdId});
    EXPECT_EQ(log.messages.size(), 1u);
}

TEST_F(DeviceList, TextsThatFillTheirBuffersEndAtTheBuffersEnd) {
    // Compatible ids and description of exactly 1024 bytes, instance id of 1024 characters, none
    // with a terminating zero: each ends at its buffer's end (the sanitizer sees any read past it).
    FakeDevice d = displayController(L"");
    const std::wstring longId = L"PCI\\VEN_1002&DEV_6798\\" + std::wstring(1024 - 22, L'7');
    d.instanceId = longId;
    std::vector<std::uint8_t> ids = testing::utf16Bytes({L"PCI\\CC_0300" + std::wstring(501, L'A')}, false);
    ids.resize(1024);
    d.rawProperties[DeviceProperty::CompatibleIds] = ids;
    std::vector<std::uint8_t> description = testing::utf16Bytes({std::wstring(512, L'D')}, false);
    description.resize(1024);
    d.rawProperties[DeviceProperty::DeviceDesc] = description;
    setupApi.devices = {d};

    ASSERT_EQ(list.Enumerate(), 1u);
    EXPECT_EQ(list.GetDevice(0).InstanceId, longId);
    EXPECT_EQ(list.GetDevice(0).Description, std::wstring(512, L'D'));
    EXPECT_EQ(list.GetVendorId(0), L"1002");
}

TEST_F(DeviceList, InstanceIdIsLoggedAsItStands) {
    const std::wstring odd = L"PCI\\VEN_1002&DEV_%s%d\\%n%%";
    setupApi.devices = {displayController(odd)};
    list.Enumerate();
    EXPECT_EQ(log.messages, std::vector<std::wstring>{L"Gpu InstanceID is: " + odd + L"\n"});
    EXPECT_EQ(list.GetDevice(0).DeviceId, L"%s%d");
}

TEST_F(DeviceList, IdWithoutVendorOrDeviceGivesEmptyFields) {
    setupApi.devices = {displayController(L"ROOT\\DISPLAY\\0000")};
    list.Enumerate();
    EXPECT_EQ(list.GetDevice(0).VendorId, L"");
    EXPECT_EQ(list.GetDevice(0).DeviceId, L"");
}

struct PropertyFailure {
    DeviceProperty property;
    const wchar_t* name;
    const char* label;
};

class FailedProperty : public DeviceList, public ::testing::WithParamInterface<PropertyFailure> {};

TEST_P(FailedProperty, OfTheSecondAdapterEndsTheEnumerationWithNothing) {
    FakeDevice second = displayController(kAmdId);
    second.failingProperties[GetParam().property] = 0xE0000209;  // a Setup API error code
    setupApi.devices = {displayController(kNvidiaId), second, displayController(L"PCI\\VEN_10DE&DEV_2\\9")};

    EXPECT_EQ(list.Enumerate(), 0u);
    EXPECT_EQ(list.Count(), 0u) << "the first adapter's record was gathered, but the list reports none";
    EXPECT_FALSE(list.IsGpuDeviceSupport(0));
    const std::vector<std::wstring> expected = {
        L"Gpu InstanceID is: " + std::wstring(kNvidiaId) + L"\n",
        L"Gpu InstanceID is: " + std::wstring(kAmdId) + L"\n",
        L"-536870391: Failed to enumerating " + std::wstring(GetParam().name) + L" for " + kAmdId + L".\n"};
    EXPECT_EQ(log.messages, expected);
    EXPECT_EQ(setupApi.setsOpen, 0);
}

INSTANTIATE_TEST_SUITE_P(
    DeviceList, FailedProperty,
    ::testing::Values(PropertyFailure{DeviceProperty::BusNumber, L"SPDRP_BUSNUMBER", "BusNumber"},
                      PropertyFailure{DeviceProperty::Address, L"SPDRP_ADDRESS", "Address"},
                      PropertyFailure{DeviceProperty::DeviceDesc, L"SPDRP_DEVICEDESC", "DeviceDesc"}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(DeviceList, SetupApiFailuresAreLoggedAndGiveNothing) {
    setupApi.devices = {displayController(kNvidiaId)};
    setupApi.classDevsFail = true;
    EXPECT_FALSE(list.Detect());
    setupApi.classDevsFail = false;
    setupApi.enumFailsAt = 1;
    setupApi.enumError = 5;
    EXPECT_EQ(list.Enumerate(), 0u);
    const std::vector<std::wstring> expected = {L"INVALID_HANDLE_VALUE from SetupDiGetClassDevs.\n",
                                                L"Gpu InstanceID is: " + std::wstring(kNvidiaId) + L"\n",
                                                L"Failed to enumerate devices: 5\n"};
    EXPECT_EQ(log.messages, expected);
    EXPECT_EQ(setupApi.setsOpen, 0);
}

TEST_F(DeviceList, FailedEnumerationKeepsTheLastCompleteList) {
    setupApi.devices = {displayController(kNvidiaId), displayController(kAmdId)};
    ASSERT_EQ(list.Enumerate(), 2u);
    setupApi.devices[1].failingProperties[DeviceProperty::Address] = 31;
    EXPECT_EQ(list.Enumerate(), 0u);
    EXPECT_EQ(found(), (std::vector<std::wstring>{kNvidiaId, kAmdId}));
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)  // a Windows program reports it in a message box
TEST_F(DeviceList, VendorIdOfAMissingDeviceIsAProgrammingError) {
    setupApi.devices = {displayController(kNvidiaId)};
    list.Enumerate();
    EXPECT_DEATH(list.GetVendorId(1),
                 "Assertion failed: IsGpuDeviceSupport\\(Index\\), file gpulib/GpuDevice.cpp");
}
#endif

}  // namespace
}  // namespace kelvane
