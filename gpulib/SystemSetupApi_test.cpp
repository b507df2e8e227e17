// The Setup API adapter against the system's device tree.

#include "gpulib/SystemSetupApi.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>

namespace kelvane {
namespace {

constexpr std::uint32_t kFreshError = 0xdeadbeef;

TEST(SystemSetupApi, ListsPresentDevicesUntilNoMoreItems) {
    SystemSetupApi api;
    std::unique_ptr<DeviceInfoSet> set = api.GetClassDevs();
    ASSERT_TRUE(set);
    ASSERT_TRUE(set->EnumDeviceInfo(0).ok) << "every machine has some device";
    std::array<wchar_t, 1024> id{};
    ASSERT_TRUE(set->GetDeviceInstanceId(id).ok);
    EXPECT_NE(id[0], 0);

    ::SetLastError(kFreshError);
    const SetupCall past = set->EnumDeviceInfo(1000000);
    EXPECT_FALSE(past.ok);
    EXPECT_EQ(past.error, kErrorNoMoreItems);
}

TEST(SystemSetupApi, FailuresCarryTheErrorOfTheirOwnCall) {
    SystemSetupApi api;
    std::unique_ptr<DeviceInfoSet> set = api.GetClassDevs();
    ASSERT_TRUE(set && set->EnumDeviceInfo(0).ok);
    std::array<wchar_t, 1> tooSmall{};
    ::SetLastError(kFreshError);
    const SetupCall id = set->GetDeviceInstanceId(tooSmall);
    EXPECT_FALSE(id.ok);
    EXPECT_EQ(id.error, static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER));

    std::array<std::uint8_t, 2> small{};
    ::SetLastError(kFreshError);
    const SetupCall property = set->GetDeviceRegistryProperty(DeviceProperty::CompatibleIds, small);
    EXPECT_FALSE(property.ok);
    EXPECT_NE(property.error, kFreshError);
    EXPECT_NE(property.error, 0u);
}

}  // namespace
}  // namespace kelvane
