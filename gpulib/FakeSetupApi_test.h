#pragma once
// A made-up device tree behind the Setup API interface, with the failures a real one can show.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gpulib/GpuDevice.h"
#include "gpulib/SetupApi.h"

namespace kelvane::testing {

inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;

// Little-endian UTF-16 of the texts, each ending in a zero unit (a list ends in one more).
inline std::vector<std::uint8_t> utf16Bytes(const std::vector<std::wstring>& texts, bool asList) {
    std::vector<std::uint8_t> bytes;
    const auto unit = [&](wchar_t c) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    };
    for (const std::wstring& text : texts) {
        for (wchar_t c : text) unit(c);
        unit(0);
    }
    if (asList) unit(0);
    return bytes;
}

struct FakeDevice {
    std::vector<std::wstring> compatibleIds;
    std::wstring instanceId;
    std::wstring description = L"Display adapter";
    std::uint32_t bus = 0;
    std::uint32_t address = 0;
    std::map<DeviceProperty, std::uint32_t> failingProperties;  // property -> error
    std::optional<std::uint32_t> instanceIdError;
    std::map<DeviceProperty, std::vector<std::uint8_t>> rawProperties;  // served as they stand

    std::vector<std::uint8_t> property(DeviceProperty p) const {
        if (rawProperties.contains(p)) return rawProperties.at(p);
        switch (p) {
            case DeviceProperty::CompatibleIds:
                return utf16Bytes(compatibleIds, true);
            case DeviceProperty::DeviceDesc:
                return utf16Bytes({description}, false);
            case DeviceProperty::BusNumber:
                return numberBytes(bus);
            case DeviceProperty::Address:
                return numberBytes(address);
        }
        return {};
    }

    static std::vector<std::uint8_t> numberBytes(std::uint32_t v) {
        return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    }
};

// A display controller as Windows lists one: both forms of the class code among its compatible ids.
inline FakeDevice displayController(std::wstring instanceId) {
    FakeDevice d;
    d.compatibleIds = {L"PCI\\VEN_10DE&DEV_1C82&REV_A1",
                       L"PCI\\VEN_10DE&DEV_1C82",
                       L"PCI\\VEN_10DE&CC_030000",
                       L"PCI\\VEN_10DE&CC_0300",
                       L"PCI\\VEN_10DE",
                       L"PCI\\CC_030000",
                       L"PCI\\CC_0300"};
    d.instanceId = std::move(instanceId);
    return d;
}

class FakeSetupApi final : public SetupApi {
  public:
    std::vector<FakeDevice> devices;
    bool classDevsFail = false;
    std::optional<std::uint32_t> enumFailsAt;
    std::uint32_t enumError = 0;
    int setsOpen = 0;  // made and not yet released

    std::unique_ptr<DeviceInfoSet> GetClassDevs() override {
        if (classDevsFail) return nullptr;
        return std::make_unique<Set>(*this);
    }

  private:
    class Set final : public DeviceInfoSet {
      public:
        explicit Set(FakeSetupApi& api) : m_api(api) { ++m_api.setsOpen; }
        ~Set() override { --m_api.setsOpen; }

        SetupCall EnumDeviceInfo(std::uint32_t index) override {
            if (m_api.enumFailsAt == index) return {false, m_api.enumError};
            if (index >= m_api.devices.size()) return {false, kErrorNoMoreItems};
            m_device = &m_api.devices[index];
            return {true};
        }
        SetupCall GetDeviceRegistryProperty(DeviceProperty p, std::span<std::uint8_t> buffer) override {
            if (m_device->failingProperties.contains(p)) return {false, m_device->failingProperties.at(p)};
            const std::vector<std::uint8_t> bytes = m_device->property(p);
            if (bytes.size() > buffer.size()) return {false, kErrorInsufficientBuffer};
            std::copy(bytes.begin(), bytes.end(), buffer.begin());
            return {true};
        }
        SetupCall GetDeviceInstanceId(std::span<wchar_t> buffer) override {
            if (m_device->instanceIdError) return {false, *m_device->instanceIdError};
            const std::wstring& id = m_device->instanceId;
            if (id.size() > buffer.size()) return {false, kErrorInsufficientBuffer};
            std::copy(id.begin(), id.end(), buffer.begin());  // a zero only where there is room
            if (id.size() < buffer.size()) buffer[id.size()] = 0;
            return {true};
        }

      private:
        FakeSetupApi& m_api;
        const FakeDevice* m_device = nullptr;
    };
};

class RecordingDeviceLog final : public GpuDeviceLog {
  public:
    int preparations = 0;
    std::vector<std::wstring> messages;

    void Prepare() override { ++preparations; }
    void Write(std::wstring_view message) override { messages.emplace_back(message); }
};

}  // namespace kelvane::testing
