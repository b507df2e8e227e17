// The board's Setup API, called as a program linked against the system's import library calls it.
// This program runs with the board's setupapi.dll beside it and setupapi=n (see CMakeLists.txt).

#include <windows.h>
// clang-format off: setupapi.h needs windows.h first
#include <setupapi.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mainboard/machine/Hardware.h"
#include "mainboard/machine/Machine.h"
#include "win32/SetupApiHandles.h"

namespace {

using namespace simboard;

using UniqueDeviceInfoSet = win32::UniqueDeviceInfoList;

constexpr DWORD kAllPresent = DIGCF_PRESENT | DIGCF_ALLCLASSES;
constexpr std::uint32_t kGpu = 2;   // the display controller of the default machine
constexpr std::uint32_t kRoot = 4;  // its software device: no compatible ids, bus or address
const std::wstring kGpuInstanceId = L"PCI\\VEN_10DE&DEV_2204&SUBSYS_4B561A2E&REV_A1\\4&2B3C6E1F&0&0008";

UniqueDeviceInfoSet allDevices() {
    UniqueDeviceInfoSet set(::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, kAllPresent));
    EXPECT_TRUE(set) << "error " << ::GetLastError();
    return set;
}

SP_DEVINFO_DATA member(const UniqueDeviceInfoSet& set, DWORD index) {
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    EXPECT_TRUE(::SetupDiEnumDeviceInfo(set.get(), index, &data)) << "error " << ::GetLastError();
    return data;
}

struct Property {
    BOOL ok = FALSE;
    DWORD error = 0;
    DWORD type = 0xdeadbeef;
    DWORD required = 0xdeadbeef;
    std::vector<BYTE> bytes;
};

// One read into a buffer of `size` bytes, prefilled with 0xCC so that untouched bytes show.
Property read(const UniqueDeviceInfoSet& set, SP_DEVINFO_DATA data, DWORD property, DWORD size = 1024) {
    Property p;
    p.bytes.assign(size + 4, 0xCC);
    ::SetLastError(0xdeadbeef);
    p.ok = ::SetupDiGetDeviceRegistryPropertyW(set.get(), &data, property, &p.type,
                                               size ? p.bytes.data() : nullptr, size, &p.required);
    p.error = ::GetLastError();
    return p;
}

std::wstring text(const Property& p, std::size_t bytes) {
    return std::wstring(reinterpret_cast<const wchar_t*>(p.bytes.data()), bytes / sizeof(wchar_t));
}

std::wstring instanceIdOf(const UniqueDeviceInfoSet& set, SP_DEVINFO_DATA data) {
    wchar_t id[1024] = {};
    EXPECT_TRUE(::SetupDiGetDeviceInstanceIdW(set.get(), &data, id, 1024, nullptr));
    return id;
}

class SetupApiStandin : public ::testing::Test {
  protected:
    void SetUp() override { machine.reset(); }
    void load(const char* description) {
        DescriptionResult r = parseMachineDescription(description);
        ASSERT_TRUE(r.machine) << r.errors.front();
        machine.load(*r.machine);
    }
    void arm(std::int32_t FaultSwitches::*counter, FaultDetail FaultSwitches::*detail, FaultDetail aim,
             std::int32_t n) {
        setFaultDetail(machine.state().faults.*detail, aim);
        setFault(machine.state().faults.*counter, n);
    }
    Machine& machine = Machine::instance();
};

TEST_F(SetupApiStandin, TheBoardsLibraryIsTheOneThisProgramUses) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(::GetModuleHandleW(L"setupapi.dll"), path, MAX_PATH), 0u);
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.find_last_of(L'\\') + 1);
    EXPECT_EQ(::CompareStringOrdinal(path, -1, (folder + L"setupapi.dll").c_str(), -1, TRUE), CSTR_EQUAL);

    const std::uint64_t before = lastJournalSeq(machine.state());
    allDevices();
    const auto calls = readJournal(machine.state(), before);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].entry, "SetupDiGetClassDevsW");
    EXPECT_EQ(calls[0].args, (std::vector<std::uint32_t>{kAllPresent, 5, 0}));
    EXPECT_EQ(calls[1].entry, "SetupDiDestroyDeviceInfoList");
    EXPECT_EQ(calls[0].processId, ::GetCurrentProcessId());
}

TEST_F(SetupApiStandin, EnumeratesTheMachinesDevicesInOrderThenNoMoreItems) {
    const auto set = allDevices();
    const auto hardware = hardwareSnapshot(machine.state());
    const GUID display = {0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    DWORD index = 0;
    for (;; ++index) {
        SP_DEVINFO_DATA data{};
        data.cbSize = sizeof data;
        ::SetLastError(0xdeadbeef);
        if (!::SetupDiEnumDeviceInfo(set.get(), index, &data)) {
            EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
            break;
        }
        EXPECT_EQ(::GetLastError(), 0u) << "success clears the last error";
        ASSERT_LT(index, hardware->pciDeviceCount);
        const std::u16string expected = instanceId(hardware->pciDevices[index]);
        EXPECT_EQ(instanceIdOf(set, data), std::wstring(expected.begin(), expected.end()));
        EXPECT_EQ(IsEqualGUID(data.ClassGuid, display), index == kGpu) << index;
    }
    EXPECT_EQ(index, hardware->pciDeviceCount);
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(::SetupDiEnumDeviceInfo(set.get(), 1000, &data));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
}

TEST_F(SetupApiStandin, PropertiesOfTheDisplayControllerAndOfADeviceWithoutThem) {
    const auto set = allDevices();
    const SP_DEVINFO_DATA gpu = member(set, kGpu);
    EXPECT_EQ(instanceIdOf(set, gpu), kGpuInstanceId);

    const Property ids = read(set, gpu, SPDRP_COMPATIBLEIDS);
    ASSERT_TRUE(ids.ok) << ids.error;
    EXPECT_EQ(ids.type, static_cast<DWORD>(REG_MULTI_SZ));
    const std::wstring list = text(ids, ids.required);
    EXPECT_EQ(list.substr(list.size() - 27), std::wstring(L"PCI\\CC_030000\0PCI\\CC_0300\0\0", 27));
    EXPECT_EQ(list.substr(0, 29), std::wstring(L"PCI\\VEN_10DE&DEV_2204&REV_A1\0", 29));

    const Property description = read(set, gpu, SPDRP_DEVICEDESC);
    ASSERT_TRUE(description.ok);
    EXPECT_EQ(description.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(description.required, 38u) << "18 characters and the terminator";
    EXPECT_EQ(text(description, 38), std::wstring(L"Kelvane Vortex 880\0", 19));

    for (const auto& [property, value] : {std::pair{SPDRP_BUSNUMBER, 1u}, std::pair{SPDRP_ADDRESS, 0u}}) {
        const Property p = read(set, gpu, property, 8);
        ASSERT_TRUE(p.ok) << property;
        EXPECT_EQ(p.type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(p.required, 4u);
        DWORD number = 0;
        std::memcpy(&number, p.bytes.data(), 4);
        EXPECT_EQ(number, value) << property;
        EXPECT_EQ(p.bytes[4], 0xCC) << "nothing past the value";
    }
    const Property bridge = read(set, member(set, 1), SPDRP_ADDRESS);
    ASSERT_TRUE(bridge.ok);
    EXPECT_EQ(bridge.bytes[2], 1) << "device 1 in the high half";
    EXPECT_EQ(bridge.bytes[0], 1) << "function 1 in the low half";

    const SP_DEVINFO_DATA root = member(set, kRoot);
    for (DWORD property : {SPDRP_COMPATIBLEIDS, SPDRP_BUSNUMBER, SPDRP_ADDRESS, SPDRP_MFG}) {
        const Property p = read(set, root, property);
        EXPECT_FALSE(p.ok) << property;
        EXPECT_EQ(p.error, static_cast<DWORD>(ERROR_INVALID_DATA)) << property;
    }
    const Property beyond = read(set, gpu, SPDRP_MAXIMUM_PROPERTY);
    EXPECT_FALSE(beyond.ok);
    EXPECT_EQ(beyond.error, static_cast<DWORD>(ERROR_INVALID_REG_PROPERTY));
}

TEST_F(SetupApiStandin, BuffersBelowAtAndAboveTheRequiredSize) {
    const auto set = allDevices();
    const SP_DEVINFO_DATA gpu = member(set, kGpu);
    const Property none = read(set, gpu, SPDRP_DEVICEDESC, 0);
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(none.required, 38u);
    EXPECT_EQ(none.type, static_cast<DWORD>(REG_SZ));

    const Property below = read(set, gpu, SPDRP_DEVICEDESC, 37);
    EXPECT_FALSE(below.ok);
    EXPECT_EQ(below.error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(below.required, 38u);
    EXPECT_EQ(below.bytes[0], 0xCC) << "a buffer too small is left alone";

    const Property at = read(set, gpu, SPDRP_DEVICEDESC, 38);
    EXPECT_TRUE(at.ok);
    EXPECT_EQ(at.error, 0u);
    EXPECT_EQ(text(at, 38), std::wstring(L"Kelvane Vortex 880\0", 19));
    const Property above = read(set, gpu, SPDRP_DEVICEDESC, 39);
    EXPECT_TRUE(above.ok);
    EXPECT_EQ(above.bytes[38], 0xCC);

    const DWORD needed = static_cast<DWORD>(kGpuInstanceId.size() + 1);
    for (DWORD size : {needed - 1, needed, needed + 1}) {
        std::vector<wchar_t> id(size + 1, L'#');
        DWORD required = 0;
        ::SetLastError(0xdeadbeef);
        const BOOL ok = ::SetupDiGetDeviceInstanceIdW(set.get(), const_cast<SP_DEVINFO_DATA*>(&gpu),
                                                      id.data(), size, &required);
        EXPECT_EQ(required, needed);
        if (size < needed) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
            EXPECT_EQ(id[0], L'#');
        } else {
            EXPECT_TRUE(ok);
            EXPECT_EQ(std::wstring(id.data()), kGpuInstanceId);
            EXPECT_EQ(id[needed], L'#');
        }
    }
}

TEST_F(SetupApiStandin, HandlesFlagsAndDeviceDataAreChecked) {
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(::SetupDiEnumDeviceInfo(INVALID_HANDLE_VALUE, 0, &data));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    HDEVINFO destroyed = ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, kAllPresent);
    ASSERT_TRUE(::SetupDiDestroyDeviceInfoList(destroyed));
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(::SetupDiDestroyDeviceInfoList(destroyed));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(::SetupDiEnumDeviceInfo(destroyed, 0, &data));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    ::SetLastError(0xdeadbeef);
    EXPECT_EQ(::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT), INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER))
        << "no class and not all classes";
    ::SetLastError(0xdeadbeef);
    EXPECT_EQ(::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, kAllPresent | DIGCF_DEVICEINTERFACE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));

    const auto set = allDevices();
    const auto other = allDevices();
    SP_DEVINFO_DATA wrongSize{};
    wrongSize.cbSize = sizeof wrongSize + 4;
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(::SetupDiEnumDeviceInfo(set.get(), 0, &wrongSize));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(::SetupDiEnumDeviceInfo(set.get(), 0, nullptr));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    const Property foreign = read(set, member(other, 0), SPDRP_DEVICEDESC);
    EXPECT_FALSE(foreign.ok) << "device data of another set";
    EXPECT_EQ(foreign.error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(SetupApiStandin, EnumeratorAndClassNarrowASetThatStaysAsItWasMade) {
    for (const wchar_t* enumerator : {L"PCI", L"pci"}) {
        UniqueDeviceInfoSet pci(::SetupDiGetClassDevsW(nullptr, enumerator, nullptr, kAllPresent));
        ASSERT_TRUE(pci);
        SP_DEVINFO_DATA data{};
        data.cbSize = sizeof data;
        EXPECT_TRUE(::SetupDiEnumDeviceInfo(pci.get(), 3, &data));
        EXPECT_FALSE(::SetupDiEnumDeviceInfo(pci.get(), 4, &data)) << "the ROOT device is not a PCI device";
    }
    const GUID display = {0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    UniqueDeviceInfoSet displays(::SetupDiGetClassDevsW(&display, nullptr, nullptr, DIGCF_PRESENT));
    ASSERT_TRUE(displays);
    EXPECT_EQ(instanceIdOf(displays, member(displays, 0)), kGpuInstanceId);
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    EXPECT_FALSE(::SetupDiEnumDeviceInfo(displays.get(), 1, &data));

    const auto before = allDevices();
    load("[pci-device]\ninstance-id = PCI\\VEN_1002&DEV_73BF\\6&1&0\n");
    EXPECT_TRUE(::SetupDiEnumDeviceInfo(before.get(), 4, &data))
        << "a set keeps the devices it was made with";
    const auto after = allDevices();
    EXPECT_EQ(instanceIdOf(after, member(after, 0)), L"PCI\\VEN_1002&DEV_73BF\\6&1&0");
    EXPECT_FALSE(::SetupDiEnumDeviceInfo(after.get(), 1, &data));
}

TEST_F(SetupApiStandin, FaultsFailTheCallTheyAreAimedAt) {
    arm(&FaultSwitches::classDevsFails, &FaultSwitches::classDevs, {kAnyTarget, kAnyProperty, 5}, 1);
    ::SetLastError(0xdeadbeef);
    EXPECT_EQ(::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, kAllPresent), INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), 5u);
    const auto set = allDevices();

    arm(&FaultSwitches::enumerationFails, &FaultSwitches::enumeration, {1, kAnyProperty, 13}, 1);
    member(set, 0);
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(::SetupDiEnumDeviceInfo(set.get(), 1, &data));
    EXPECT_EQ(::GetLastError(), 13u);
    EXPECT_TRUE(::SetupDiEnumDeviceInfo(set.get(), 1, &data)) << "the fault was for one call";

    arm(&FaultSwitches::propertyFails, &FaultSwitches::property, {kGpu, SPDRP_BUSNUMBER, 31}, kFaultAlways);
    const SP_DEVINFO_DATA gpu = member(set, kGpu);
    const Property bus = read(set, gpu, SPDRP_BUSNUMBER);
    EXPECT_FALSE(bus.ok);
    EXPECT_EQ(bus.error, 31u);
    EXPECT_TRUE(read(set, gpu, SPDRP_ADDRESS).ok) << "another property";
    EXPECT_TRUE(read(set, member(set, 0), SPDRP_BUSNUMBER).ok) << "another device";
    EXPECT_FALSE(read(set, gpu, SPDRP_BUSNUMBER).ok) << "always";

    arm(&FaultSwitches::propertyFails, &FaultSwitches::property, {kGpu, kPropertyInstanceId, 13}, 1);
    wchar_t id[256];
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(
        ::SetupDiGetDeviceInstanceIdW(set.get(), const_cast<SP_DEVINFO_DATA*>(&gpu), id, 256, nullptr));
    EXPECT_EQ(::GetLastError(), 13u);

    arm(&FaultSwitches::propertyUnterminated, &FaultSwitches::unterminatedProperty,
        {kGpu, SPDRP_COMPATIBLEIDS, 0}, 1);
    const Property cut = read(set, gpu, SPDRP_COMPATIBLEIDS);
    ASSERT_TRUE(cut.ok);
    const std::wstring list = text(cut, cut.required);
    EXPECT_EQ(list.substr(list.size() - 12), std::wstring(L"\0PCI\\CC_0300", 12))
        << "no zero after the last id";
    EXPECT_EQ(cut.bytes[cut.required], 0xCC);
    EXPECT_EQ(read(set, gpu, SPDRP_COMPATIBLEIDS).required, cut.required + 4) << "the fault was for one call";
}

TEST_F(SetupApiStandin, EveryCallIsJournalledWithWhatItWasAskedAndItsError) {
    const std::uint64_t before = lastJournalSeq(machine.state());
    {
        const auto set = allDevices();
        const SP_DEVINFO_DATA gpu = member(set, kGpu);
        read(set, gpu, SPDRP_BUSNUMBER, 8);
        read(set, gpu, SPDRP_DEVICEDESC, 10);
    }
    const auto calls = readJournal(machine.state(), before);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[1].entry, "SetupDiEnumDeviceInfo");
    EXPECT_EQ(calls[1].args, (std::vector<std::uint32_t>{kGpu, kGpu, 0}));
    EXPECT_EQ(calls[2].entry, "SetupDiGetDeviceRegistryPropertyW");
    EXPECT_EQ(calls[2].args, (std::vector<std::uint32_t>{kGpu, SPDRP_BUSNUMBER, 8, 4, 0}));
    EXPECT_EQ(calls[2].result, 1);
    EXPECT_EQ(calls[3].args,
              (std::vector<std::uint32_t>{kGpu, SPDRP_DEVICEDESC, 10, 38, ERROR_INSUFFICIENT_BUFFER}));
    EXPECT_EQ(calls[3].result, 0);
    EXPECT_EQ(calls[4].entry, "SetupDiDestroyDeviceInfoList");
}

}  // namespace
