#include "gpulib/SystemSetupApi.h"

#include <windows.h>

#include <setupapi.h>

#include "win32/SetupApiHandles.h"

namespace kelvane {

static_assert(static_cast<DWORD>(DeviceProperty::DeviceDesc) == SPDRP_DEVICEDESC);
static_assert(static_cast<DWORD>(DeviceProperty::CompatibleIds) == SPDRP_COMPATIBLEIDS);
static_assert(static_cast<DWORD>(DeviceProperty::BusNumber) == SPDRP_BUSNUMBER);
static_assert(static_cast<DWORD>(DeviceProperty::Address) == SPDRP_ADDRESS);
static_assert(kErrorNoMoreItems == ERROR_NO_MORE_ITEMS);

namespace {

// The outcome of the call just made: GetLastError is read before anything else can change it.
SetupCall outcome(BOOL succeeded) {
    return succeeded ? SetupCall{true, 0} : SetupCall{false, ::GetLastError()};
}

class SystemDeviceInfoSet final : public DeviceInfoSet {
  public:
    explicit SystemDeviceInfoSet(win32::UniqueDeviceInfoList list) : m_list(std::move(list)) {}

    SetupCall EnumDeviceInfo(std::uint32_t index) override {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        const SetupCall call = outcome(::SetupDiEnumDeviceInfo(m_list.get(), index, &device));
        if (call.ok) m_device = device;
        return call;
    }

    SetupCall GetDeviceRegistryProperty(DeviceProperty property, std::span<std::uint8_t> buffer) override {
        return outcome(::SetupDiGetDeviceRegistryPropertyW(
            m_list.get(), &m_device, static_cast<DWORD>(property), nullptr, buffer.data(),
            static_cast<DWORD>(buffer.size()), nullptr));
    }

    SetupCall GetDeviceInstanceId(std::span<wchar_t> buffer) override {
        return outcome(::SetupDiGetDeviceInstanceIdW(m_list.get(), &m_device, buffer.data(),
                                                     static_cast<DWORD>(buffer.size()), nullptr));
    }

  private:
    win32::UniqueDeviceInfoList m_list;
    SP_DEVINFO_DATA m_device{};  // the device that the last successful EnumDeviceInfo selected
};

}  // namespace

std::unique_ptr<DeviceInfoSet> SystemSetupApi::GetClassDevs() {
    win32::UniqueDeviceInfoList list(
        ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
    if (!list) return nullptr;
    return std::make_unique<SystemDeviceInfoSet>(std::move(list));
}

}  // namespace kelvane
