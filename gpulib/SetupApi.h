#pragma once
// The part of the Windows Setup API that the display-device enumeration uses, as an interface, so
// that the enumeration runs on the system's device tree and, in tests, on a made-up one.

#include <cstdint>
#include <memory>
#include <span>

namespace kelvane {

inline constexpr std::uint32_t kErrorNoMoreItems = 259;  // ERROR_NO_MORE_ITEMS

// Registry properties of a device, by their SPDRP_ values.
enum class DeviceProperty : std::uint32_t {
    DeviceDesc = 0x00,     // text
    CompatibleIds = 0x02,  // list of texts
    BusNumber = 0x15,      // 32-bit number
    Address = 0x1C,        // 32-bit number: device number in the high half, function number in the low
};

// The outcome of one Setup API call: success, or the error that GetLastError gave right after it.
struct SetupCall {
    bool ok = false;
    std::uint32_t error = 0;
};

// One device information set, released when this object goes. The property and instance-id calls
// act on the device that the last successful EnumDeviceInfo selected.
class DeviceInfoSet {
  public:
    virtual ~DeviceInfoSet() = default;
    // SetupDiEnumDeviceInfo: selects the device at the index; ERROR_NO_MORE_ITEMS past the last one.
    virtual SetupCall EnumDeviceInfo(std::uint32_t index) = 0;
    // SetupDiGetDeviceRegistryPropertyW into the buffer; fails when the property does not fit.
    virtual SetupCall GetDeviceRegistryProperty(DeviceProperty property, std::span<std::uint8_t> buffer) = 0;
    // SetupDiGetDeviceInstanceIdW into the buffer; fails when the id does not fit.
    virtual SetupCall GetDeviceInstanceId(std::span<wchar_t> buffer) = 0;
};

class SetupApi {
  public:
    virtual ~SetupApi() = default;
    // SetupDiGetClassDevsW for all present devices of all classes; none when it fails.
    virtual std::unique_ptr<DeviceInfoSet> GetClassDevs() = 0;
};

}  // namespace kelvane
