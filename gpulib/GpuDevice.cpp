#include "gpulib/GpuDevice.h"

#include <algorithm>
#include <array>

#include "gpulib/BufferText.h"
#include "support/Assertion.h"

namespace kelvane {

namespace {

constexpr std::wstring_view kDisplayControllerClass = L"PCI\\CC_0300";  // also matches PCI\CC_030000

std::wstring signedDecimal(std::uint32_t error) { return std::to_wstring(static_cast<std::int32_t>(error)); }

void toUpperAscii(std::wstring& text) {
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
}

// The four characters after the first occurrence of the key; empty when the key is missing.
std::wstring fieldAfter(const std::wstring& instanceId, std::wstring_view key) {
    const std::size_t at = instanceId.find(key);
    return at == std::wstring::npos ? std::wstring() : instanceId.substr(at + key.size(), 4);
}

std::uint32_t firstWord(const std::array<std::uint8_t, 8>& bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

}  // namespace

bool IGpuDevice::Detect() {
    m_log.Prepare();
    return Enumerate() != 0;
}

std::uint32_t IGpuDevice::Enumerate() {
    // Gathered apart: a failed enumeration leaves the last complete list and its count together.
    std::vector<_PCI_INFO> found;
    const std::unique_ptr<DeviceInfoSet> set = m_setupApi.GetClassDevs();
    if (!set) {
        m_log.Write(L"INVALID_HANDLE_VALUE from SetupDiGetClassDevs.\n");
        return 0;
    }
    std::set<std::wstring> seen;  // one adapter usually matches through two of its compatible ids
    for (std::uint32_t index = 0;; ++index) {
        const SetupCall selected = set->EnumDeviceInfo(index);
        if (!selected.ok && selected.error == kErrorNoMoreItems) break;
        if (!selected.ok) {
            m_log.Write(L"Failed to enumerate devices: " + signedDecimal(selected.error) + L"\n");
            return 0;
        }
        if (!addDisplayControllers(*set, seen, found)) return 0;
    }
    m_devices = std::move(found);
    m_count = static_cast<std::uint32_t>(m_devices.size());
    return m_count;
}

// Records the selected device once for each new instance id among its display-controller
// compatible ids; false when reading one of its properties failed (the failure is logged).
bool IGpuDevice::addDisplayControllers(DeviceInfoSet& set, std::set<std::wstring>& seen,
                                       std::vector<_PCI_INFO>& found) {
    std::array<std::uint8_t, 1024> compatibleIds{};
    if (!set.GetDeviceRegistryProperty(DeviceProperty::CompatibleIds, compatibleIds).ok) return true;
    for (std::wstring& id : utf16TextList(compatibleIds)) {
        toUpperAscii(id);
        if (id.find(kDisplayControllerClass) == std::wstring::npos) continue;
        std::array<wchar_t, 1024> instanceIdBuffer{};
        if (!set.GetDeviceInstanceId(instanceIdBuffer).ok) continue;
        const std::wstring instanceId = textUpToZero(std::span<const wchar_t>(instanceIdBuffer));
        if (seen.contains(instanceId)) continue;
        m_log.Write(L"Gpu InstanceID is: " + instanceId + L"\n");
        seen.insert(instanceId);
        std::optional<_PCI_INFO> controller = readController(set, instanceId);
        if (!controller) return false;
        found.push_back(std::move(*controller));
    }
    return true;
}

std::optional<_PCI_INFO> IGpuDevice::readController(DeviceInfoSet& set, const std::wstring& instanceId) {
    const auto failed = [&](const SetupCall& call, std::wstring_view property) {
        m_log.Write(signedDecimal(call.error) + L": Failed to enumerating " + std::wstring(property) +
                    L" for " + instanceId + L".\n");
        return std::nullopt;
    };
    _PCI_INFO info;
    info.InstanceId = instanceId;
    std::array<std::uint8_t, 8> number{};
    if (const SetupCall c = set.GetDeviceRegistryProperty(DeviceProperty::BusNumber, number); !c.ok)
        return failed(c, L"SPDRP_BUSNUMBER");
    info.BusNumber = firstWord(number);
    number.fill(0);
    if (const SetupCall c = set.GetDeviceRegistryProperty(DeviceProperty::Address, number); !c.ok)
        return failed(c, L"SPDRP_ADDRESS");
    info.DeviceNumber = firstWord(number) >> 16;
    info.FunctionNumber = firstWord(number) & 0xFFFF;
    std::array<std::uint8_t, 1024> description{};
    if (const SetupCall c = set.GetDeviceRegistryProperty(DeviceProperty::DeviceDesc, description); !c.ok)
        return failed(c, L"SPDRP_DEVICEDESC");
    info.Description = utf16Text(description);
    info.VendorId = fieldAfter(instanceId, L"VEN_");
    info.DeviceId = fieldAfter(instanceId, L"DEV_");
    return info;
}

const _PCI_INFO& IGpuDevice::GetDevice(std::uint32_t Index) const {
    KV_VERIFY(IsGpuDeviceSupport(Index));
    return m_devices[Index];
}

bool IGpuDevice::IsSameVendor() const {
    for (std::uint32_t i = 1; i < m_count; ++i)
        if (m_devices[i].VendorId != m_devices[0].VendorId) return false;
    return true;
}

}  // namespace kelvane
