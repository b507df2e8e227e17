// Stand-in for the Setup API's device enumeration: the board's PCI devices, as a program that walks
// all present devices and reads their ids and PCI location sees them. Loaded in place of the
// system's library (WINEDLLOVERRIDES=setupapi=n) by the one process that is to see the board.

#define _SETUPAPI_  // this library defines, rather than imports, the functions its header declares
#include <windows.h>
// clang-format off: setupapi.h needs windows.h first
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "mainboard/machine/Hardware.h"
#include "mainboard/machine/Machine.h"

using namespace simboard;

static_assert(kPropertyDescription == SPDRP_DEVICEDESC && kPropertyCompatibleIds == SPDRP_COMPATIBLEIDS &&
              kPropertyBusNumber == SPDRP_BUSNUMBER && kPropertyAddress == SPDRP_ADDRESS);
static_assert(kPropertyInstanceId >= SPDRP_MAXIMUM_PROPERTY);
static_assert(kRegSz == REG_SZ && kRegDword == REG_DWORD && kRegMultiSz == REG_MULTI_SZ);

namespace {

// {4d36e968-e325-11ce-bfc1-08002be10318}, the class of display adapters.
constexpr GUID kDisplayClass = {0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// A snapshot of the devices when the set was made, as the Setup API's own sets are.
struct DeviceInfoSet {
    std::vector<std::uint32_t> machineIndex;  // of each member: its number in the board's device list
    std::vector<PciDeviceSlot> devices;
};

// Every set handed out and not yet destroyed; a handle is its set's address. Calls on one set are
// serialised, as they would be on any Setup API object shared between threads.
std::mutex g_setsMutex;
std::vector<std::unique_ptr<DeviceInfoSet>> g_sets;

DeviceInfoSet* findSet(HDEVINFO handle) {
    for (const auto& set : g_sets)
        if (set.get() == handle) return set.get();
    return nullptr;
}

// The member an SP_DEVINFO_DATA from SetupDiEnumDeviceInfo names; none when it names none of this set.
const PciDeviceSlot* findMember(const DeviceInfoSet& set, const SP_DEVINFO_DATA& data,
                                std::uint32_t& machineIndex) {
    for (std::size_t i = 0; i < set.devices.size(); ++i) {
        if (data.Reserved != reinterpret_cast<ULONG_PTR>(&set.devices[i])) continue;
        machineIndex = set.machineIndex[i];
        return &set.devices[i];
    }
    return nullptr;
}

bool isDisplayController(const PciDeviceSlot& device) {
    const auto ids = deviceProperty(device, kPropertyCompatibleIds);
    if (!ids) return false;
    std::u16string list(ids->bytes.size() / 2, u'\0');
    std::memcpy(list.data(), ids->bytes.data(), ids->bytes.size());
    for (std::size_t at = 0; at < list.size() && list[at] != 0; at = list.find(u'\0', at) + 1) {
        if (::CompareStringOrdinal(reinterpret_cast<const wchar_t*>(list.c_str() + at), 9, L"PCI\\CC_03", 9,
                                   TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

GUID classOf(const PciDeviceSlot& device) { return isDisplayController(device) ? kDisplayClass : GUID{}; }

bool enumeratedBy(const PciDeviceSlot& device, const wchar_t* enumerator) {
    const std::u16string id = instanceId(device);
    const std::size_t length = std::wcslen(enumerator);
    return id.size() > length && id[length] == u'\\' &&
           ::CompareStringOrdinal(reinterpret_cast<const wchar_t*>(id.c_str()), static_cast<int>(length),
                                  enumerator, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

BOOL finish(const char* entry, std::initializer_list<std::uint32_t> args, DWORD error) {
    Machine::instance().journal("setupapi", entry, args, error == NO_ERROR);
    ::SetLastError(error);
    return error == NO_ERROR;
}

// What every call with a set and device data checks first: NO_ERROR, or the call's error.
DWORD checkSetAndData(const DeviceInfoSet* set, const SP_DEVINFO_DATA* data) {
    if (!set) return ERROR_INVALID_HANDLE;
    if (!data) return ERROR_INVALID_PARAMETER;
    if (data->cbSize != sizeof(SP_DEVINFO_DATA)) return ERROR_INVALID_USER_BUFFER;
    return NO_ERROR;
}

// What the calls that name one member of a set begin with: the sets' lock, the member, and the
// error of a call that names none.
struct MemberCall {
    MemberCall(HDEVINFO handle, const SP_DEVINFO_DATA* data) {
        const DeviceInfoSet* set = findSet(handle);
        error = checkSetAndData(set, data);
        if (error == NO_ERROR && !(device = findMember(*set, *data, machineIndex)))
            error = ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> lock{g_setsMutex};
    FaultSwitches& faults = Machine::instance().state().faults;
    const PciDeviceSlot* device = nullptr;
    std::uint32_t machineIndex = kAnyTarget;
    DWORD error = NO_ERROR;
};

}  // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND, DWORD flags) {
    Machine& machine = Machine::instance();
    FaultSwitches& faults = machine.state().faults;
    DWORD error = NO_ERROR;
    if (flags & DIGCF_DEVICEINTERFACE)
        error = ERROR_INVALID_FLAGS;  // the board has no device interfaces
    else if (!classGuid && !(flags & DIGCF_ALLCLASSES))
        error = ERROR_INVALID_PARAMETER;
    else if (consumeFault(faults.classDevsFails))
        error = faultDetail(faults.classDevs).code;
    if (error != NO_ERROR) {
        finish("SetupDiGetClassDevsW", {flags, 0, error}, error);
        return INVALID_HANDLE_VALUE;
    }

    auto set = std::make_unique<DeviceInfoSet>();
    const auto hardware = hardwareSnapshot(machine.state());
    for (std::uint32_t i = 0; i < std::min(hardware->pciDeviceCount, kMaxPciDevices); ++i) {
        const PciDeviceSlot& device = hardware->pciDevices[i];
        if (enumerator && !enumeratedBy(device, enumerator)) continue;
        if (!(flags & DIGCF_ALLCLASSES) && !IsEqualGUID(*classGuid, classOf(device))) continue;
        set->machineIndex.push_back(i);
        set->devices.push_back(device);
    }
    const auto members = static_cast<std::uint32_t>(set->devices.size());
    std::lock_guard lock(g_setsMutex);
    g_sets.push_back(std::move(set));
    finish("SetupDiGetClassDevsW", {flags, members, NO_ERROR}, NO_ERROR);
    return g_sets.back().get();
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO handle, DWORD memberIndex, PSP_DEVINFO_DATA data) {
    std::lock_guard lock(g_setsMutex);
    FaultSwitches& faults = Machine::instance().state().faults;
    const DeviceInfoSet* set = findSet(handle);
    DWORD error = checkSetAndData(set, data);
    std::uint32_t machineIndex = kAnyTarget;
    if (error == NO_ERROR && memberIndex >= set->devices.size()) error = ERROR_NO_MORE_ITEMS;
    if (error == NO_ERROR) {
        machineIndex = set->machineIndex[memberIndex];
        if (consumeFaultAt(faults.enumerationFails, faults.enumeration, machineIndex))
            error = faultDetail(faults.enumeration).code;
    }
    if (error == NO_ERROR) {
        const PciDeviceSlot& device = set->devices[memberIndex];
        data->ClassGuid = classOf(device);
        data->DevInst = machineIndex + 1;
        data->Reserved = reinterpret_cast<ULONG_PTR>(&device);
    }
    return finish("SetupDiEnumDeviceInfo", {memberIndex, machineIndex, error}, error);
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyW(HDEVINFO handle, PSP_DEVINFO_DATA data, DWORD property,
                                              PDWORD regType, PBYTE buffer, DWORD bufferSize,
                                              PDWORD requiredSize) {
    MemberCall call(handle, data);
    DWORD& error = call.error;
    std::uint32_t required = 0;
    if (error == NO_ERROR) {
        auto value = deviceProperty(*call.device, property);
        const bool isText = property == kPropertyDescription || property == kPropertyCompatibleIds;
        if (property >= SPDRP_MAXIMUM_PROPERTY)
            error = ERROR_INVALID_REG_PROPERTY;
        else if (!buffer && bufferSize != 0)
            error = ERROR_INVALID_USER_BUFFER;
        else if (consumeFaultAt(call.faults.propertyFails, call.faults.property, call.machineIndex, property))
            error = faultDetail(call.faults.property).code;
        else if (!value)
            error = ERROR_INVALID_DATA;
        else if (isText && consumeFaultAt(call.faults.propertyUnterminated, call.faults.unterminatedProperty,
                                          call.machineIndex, property))
            value = deviceProperty(*call.device, property, false);
        if (error == NO_ERROR) {
            required = static_cast<std::uint32_t>(value->bytes.size());
            if (regType) *regType = value->regType;
            if (requiredSize) *requiredSize = required;
            if (bufferSize < required)
                error = ERROR_INSUFFICIENT_BUFFER;
            else
                std::copy(value->bytes.begin(), value->bytes.end(), buffer);
        }
    }
    return finish("SetupDiGetDeviceRegistryPropertyW",
                  {call.machineIndex, property, bufferSize, required, error}, error);
}

BOOL WINAPI SetupDiGetDeviceInstanceIdW(HDEVINFO handle, PSP_DEVINFO_DATA data, PWSTR buffer,
                                        DWORD bufferChars, PDWORD requiredChars) {
    MemberCall call(handle, data);
    DWORD& error = call.error;
    std::uint32_t required = 0;
    if (error == NO_ERROR) {
        const std::u16string id = instanceId(*call.device);
        if (!buffer && bufferChars != 0)
            error = ERROR_INVALID_USER_BUFFER;
        else if (consumeFaultAt(call.faults.propertyFails, call.faults.property, call.machineIndex,
                                kPropertyInstanceId))
            error = faultDetail(call.faults.property).code;
        if (error == NO_ERROR) {
            required = static_cast<std::uint32_t>(id.size() + 1);
            if (requiredChars) *requiredChars = required;
            if (bufferChars < required)
                error = ERROR_INSUFFICIENT_BUFFER;
            else
                std::memcpy(buffer, id.c_str(), required * sizeof(wchar_t));
        }
    }
    return finish("SetupDiGetDeviceInstanceIdW", {call.machineIndex, bufferChars, required, error}, error);
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
    std::lock_guard lock(g_setsMutex);
    const auto set =
        std::find_if(g_sets.begin(), g_sets.end(), [&](const auto& s) { return s.get() == handle; });
    const DWORD error = set == g_sets.end() ? ERROR_INVALID_HANDLE : NO_ERROR;
    if (set != g_sets.end()) g_sets.erase(set);
    return finish("SetupDiDestroyDeviceInfoList", {error}, error);
}

}  // extern "C"
