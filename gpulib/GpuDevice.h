#pragma once
// The PCI display controllers of the machine (base class 03, sub-class 00), found through the
// Setup API, in the order in which it lists them.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "gpulib/SetupApi.h"

namespace kelvane {

struct _PCI_INFO {
    std::wstring InstanceId;
    std::wstring Description;
    std::wstring VendorId;  // the four characters after the first "VEN_" of the instance id, e.g. "10DE"
    std::wstring DeviceId;  // the four characters after the first "DEV_"
    std::uint32_t BusNumber = 0;
    std::uint32_t DeviceNumber = 0;
    std::uint32_t FunctionNumber = 0;
};

// Where the enumeration reports each adapter it finds and each failure that ends it.
class GpuDeviceLog {
  public:
    virtual ~GpuDeviceLog() = default;
    virtual void Prepare() = 0;  // before each detection
    virtual void Write(std::wstring_view message) = 0;
};

class IGpuDevice {
  public:
    IGpuDevice(SetupApi& setupApi, GpuDeviceLog& log) : m_setupApi(setupApi), m_log(log) {}

    // Prepares the log, then enumerates; true when a display controller was found.
    bool Detect();

    // Lists the display controllers again. A Setup API failure ends it with 0 and leaves the list of
    // the last complete enumeration (none for a new list) in place.
    std::uint32_t Enumerate();

    std::uint32_t Count() const { return m_count; }
    bool IsGpuDeviceSupport(std::uint32_t Index) const { return m_count != 0 && Index < m_count; }
    const _PCI_INFO& GetDevice(std::uint32_t Index) const;
    std::wstring GetVendorId(std::uint32_t Index) const { return GetDevice(Index).VendorId; }
    // True when all devices have the vendor id of the first (or there are fewer than two).
    bool IsSameVendor() const;

  private:
    bool addDisplayControllers(DeviceInfoSet& set, std::set<std::wstring>& seen,
                               std::vector<_PCI_INFO>& found);
    std::optional<_PCI_INFO> readController(DeviceInfoSet& set, const std::wstring& instanceId);

    SetupApi& m_setupApi;
    GpuDeviceLog& m_log;
    std::vector<_PCI_INFO> m_devices;
    std::uint32_t m_count = 0;  // of the last enumeration that ran to its end; queries go by it
};

}  // namespace kelvane
