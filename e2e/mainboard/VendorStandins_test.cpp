// The three graphics back ends, loaded from the build tree and called with the argument shapes that
// the product uses (records by pointer, and by value on the stack).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "e2e/support/Harness.h"
#include "mainboard/machine/Hardware.h"
#include "mainboard/machine/Machine.h"
#include "mainboard/pngcodec/PngRecord.h"
#include "win32/Handles.h"
#include "win32/Text.h"

namespace board_e2e {
namespace {

using namespace simboard;

constexpr std::int32_t kNoNvidiaDevice = -6;

// One load of a back end; each test starts with a fresh one (no session left from another test).
class Library {
  public:
    explicit Library(const std::wstring& relativePath)
        : m_module(::LoadLibraryW(e2e::builtFile(relativePath).c_str())) {
        EXPECT_TRUE(m_module) << "cannot load " << win32::narrow(relativePath) << " (error "
                              << ::GetLastError() << ")";
    }
    template <typename Function>
    Function* entry(const char* name) const {
        auto* f =
            reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(m_module.get(), name)));
        EXPECT_NE(f, nullptr) << name;
        return f;
    }
    HMODULE module() const { return m_module.get(); }

  private:
    win32::UniqueModule m_module;
};

using Init = int __stdcall();
using ByIndex = int __stdcall(std::int32_t);

struct Greencard {
    Library library{L"standins\\Greencard.dll"};
    Init* initialize = library.entry<Init>("Nv_Initialize");
    Init* uninitialize = library.entry<Init>("Nv_UnInitialize");
    int(__stdcall* count)(std::int32_t*) = library.entry<int __stdcall(std::int32_t*)>("Nv_GetGPUCount");
    int(__stdcall* name)(std::int32_t,
                         char*) = library.entry<int __stdcall(std::int32_t, char*)>("Nv_GetGPUName");
    int(__stdcall* memory)(std::int32_t, std::int32_t*) =
        library.entry<int __stdcall(std::int32_t, std::int32_t*)>("Nv_GetGPUMemCapacity");
    using Read = int __stdcall(std::int32_t, NvClockInfo*);
    using Write = int __stdcall(std::int32_t, NvClockInfo);
    Read* clocks = library.entry<Read>("Nv_GetGPUClockInfoPStates");
    Write* setClocks = library.entry<Write>("Nv_SetGPUClockInfoPStates");
    Read* fan = library.entry<Read>("Nv_GetGPUFan");
    Write* setFan = library.entry<Write>("Nv_SetGPUFan");
    ByIndex* mode = library.entry<ByIndex>("Nv_GetGpuMode");
    ByIndex* usage = library.entry<ByIndex>("Nv_GetGpuUsage");
};

struct Redcard {
    Library library{L"standins\\Redcard.dll"};
    Init* initialize = library.entry<Init>("Amd_Initialize");
    Init* uninitialize = library.entry<Init>("Amd_UnInitialize");
    Init* count = library.entry<Init>("Amd_GetGpuCount");
    int(__stdcall* name)(std::int32_t,
                         wchar_t*) = library.entry<int __stdcall(std::int32_t, wchar_t*)>("Amd_GetGpuName");
    int(__stdcall* clocks)(std::int32_t, AmdClockInfo*) =
        library.entry<int __stdcall(std::int32_t, AmdClockInfo*)>("Amd_GetGpuClockInfo");
    int(__stdcall* setClocks)(std::int32_t, AmdClockInfo) =
        library.entry<int __stdcall(std::int32_t, AmdClockInfo)>("Amd_SetGpuClockInfo");
    ByIndex* integrated = library.entry<ByIndex>("Amd_IsIntegrated");
    ByIndex* adapterId = library.entry<ByIndex>("Amd_GetGpuAdapterID");
    ByIndex* connected = library.entry<ByIndex>("Amd_GetGpuConnected");
    ByIndex* usage = library.entry<ByIndex>("Amd_GetGpuUsage");
    ByIndex* hybridMode = library.entry<ByIndex>("Amd_GetGpuHybridMode");
    ByIndex* frequency = library.entry<ByIndex>("Amd_GetGpuFreq");
};

struct Lumbra {
    Library library{L"standins\\Lumbra.dll"};
    Init* initialize = library.entry<Init>("LumbraInit");
    int(__stdcall* supported)(std::uint32_t) = library.entry<int __stdcall(std::uint32_t)>("IsItemSupported");
    int(__stdcall* info)(std::uint32_t, GgrpItemInfo*) =
        library.entry<int __stdcall(std::uint32_t, GgrpItemInfo*)>("GetGGRPItemInfo");
    int(__stdcall* set)(std::uint32_t, std::int32_t) =
        library.entry<int __stdcall(std::uint32_t, std::int32_t)>("LumbraSetItem");
    int(__stdcall* get)(std::uint32_t, std::int32_t*) =
        library.entry<int __stdcall(std::uint32_t, std::int32_t*)>("LumbraGetItem");
};

const char* const kTwoAmdCards =
    "[amd-card]\nname = Kelvane Ember \xE2\x84\xA2\nintegrated = yes\n"
    "core = current 220, minimum 200, maximum 260, default 210, step 1\n"
    "memory = current 400, minimum 333, maximum 533, default 400, step 1\n"
    "voltage = unsupported\nusage = 7\nfrequency = 220\n"
    "[amd-card]\nname = Kelvane Blaze 7700\n"
    "core = current 600, minimum 300, maximum 1100, default 600, step 5\n"
    "memory = current 900, minimum 300, maximum 1200, default 900, step 5\n"
    "voltage = current 1150, minimum 900, maximum 1250, default 1150, step 25\n"
    "usage = 12\nfrequency = 600\nconnected = 0\nhybrid-mode = 2\n"
    "[lumbra-item]\nid = 0x3020055\nbase = 800\nstep = 25\nsteps = 9\ndefault-step = 4\ncurrent-step = 2\n"
    "[lumbra-item]\nid = 0x3020062\nbase = 1100\nstep = 25\nsteps = 5\ndefault-step = 2\ncurrent-step = 2\n"
    "[lumbra-item]\nid = 0x3010060\nsupported = no\nbase = 20000\nstep = 100\nsteps = 51\ndefault-step = 10\n"
    "current-step = 10\n";

class VendorStandins : public ::testing::Test {
  protected:
    void SetUp() override {
        machine.reset();
        startSeq = e2e::lastSeq();
    }
    void load(const char* description) {
        DescriptionResult r = parseMachineDescription(description);
        ASSERT_TRUE(r.machine) << r.errors.front();
        machine.load(*r.machine);
    }
    std::vector<e2e::Call> callsTo(const char* entry) const {
        std::vector<e2e::Call> found;
        for (e2e::Call& c : e2e::callsOf(::GetCurrentProcessId(), startSeq))
            if (c.entry == entry) found.push_back(std::move(c));
        return found;
    }
    void arm(std::int32_t FaultSwitches::*counter, FaultDetail FaultSwitches::*detail, FaultDetail aim,
             std::int32_t n) {
        setFaultDetail(machine.state().faults.*detail, aim);
        setFault(machine.state().faults.*counter, n);
    }
    simboard::Machine& machine = simboard::Machine::instance();
    std::uint64_t startSeq = 0;
};

NvClockInfo filled(std::int32_t value) {
    NvClockInfo r;
    std::memset(&r, 0, sizeof r);
    for (NvClockEntry& e : r.entries) e = {value, value, value, value, value, value};
    return r;
}

TEST_F(VendorStandins, GreencardServesOnlyAnInitialisedSession) {
    Greencard nv;
    std::int32_t count = 77;
    NvClockInfo record = filled(5);
    EXPECT_EQ(nv.count(&count), 0) << "before Nv_Initialize";
    EXPECT_EQ(count, 77);
    EXPECT_EQ(nv.clocks(0, &record), 0);
    EXPECT_EQ(record.entries[kNvCore].current, 5) << "a failed read leaves the record alone";

    ASSERT_EQ(nv.initialize(), 0);
    EXPECT_EQ(nv.count(&count), 1);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(nv.uninitialize(), 0);
    EXPECT_EQ(nv.count(&count), 0) << "after Nv_UnInitialize";

    load(kTwoAmdCards);
    EXPECT_EQ(nv.initialize(), kNoNvidiaDevice) << "no NVIDIA card on the machine";
    EXPECT_EQ(nv.count(&count), 0);
}

TEST_F(VendorStandins, GreencardRecordsCarryTheCardAndKeepWhatIsSet) {
    Greencard nv;
    ASSERT_EQ(nv.initialize(), 0);
    NvClockInfo record = filled(5);
    ASSERT_EQ(nv.clocks(0, &record), 1);
    EXPECT_EQ(record.entries[kNvCore].current, 1050);
    EXPECT_EQ(record.entries[kNvCore].minimum, 300);
    EXPECT_EQ(record.entries[kNvCore].maximum, 1200);
    EXPECT_EQ(record.entries[kNvMemory].current, 1848);
    EXPECT_EQ(record.entries[kNvVoltage].maximum, 1138);
    EXPECT_NE(record.entries[kNvVoltage].supported, 0);
    EXPECT_EQ(record.entries[kNvFan].current, 5) << "the clock read leaves the fan entry alone";
    ASSERT_EQ(nv.fan(0, &record), 1);
    EXPECT_EQ(record.entries[kNvFan].current, 44);

    record.entries[kNvCore].current = 800;
    record.entries[kNvMemory].current = 3600;
    record.entries[kNvVoltage].current = 1100;
    record.entries[kNvFan].current = 61;
    EXPECT_EQ(nv.setClocks(0, record), 1);
    NvClockInfo again = filled(0);
    ASSERT_EQ(nv.clocks(0, &again), 1);
    ASSERT_EQ(nv.fan(0, &again), 1);
    EXPECT_EQ(again.entries[kNvCore].current, 800);
    EXPECT_EQ(again.entries[kNvMemory].current, 3600);
    EXPECT_EQ(again.entries[kNvVoltage].current, 1100);
    EXPECT_EQ(again.entries[kNvFan].current, 44) << "the clock set leaves the fan alone";
    EXPECT_EQ(nv.setFan(0, record), 1);
    ASSERT_EQ(nv.fan(0, &again), 1);
    EXPECT_EQ(again.entries[kNvFan].current, 61);
    EXPECT_EQ(nvidiaCard(machine.state(), 0)->clocks.entries[kNvCore].current, 800) << "kept in the machine";

    const auto sets = callsTo("Nv_SetGPUClockInfoPStates");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].args, (std::vector<std::uint32_t>{0, 800, 3600, 1100, 61}));
    EXPECT_EQ(sets[0].result, 1);

    std::int32_t megabytes = 0;
    EXPECT_EQ(nv.memory(0, &megabytes), 1);
    EXPECT_EQ(megabytes, 12288);
    EXPECT_EQ(nv.usage(0), 3);
    EXPECT_EQ(nv.mode(0), 0);
}

TEST_F(VendorStandins, GreencardCardsBeyondTheMachineAndUnsupportedEntriesChangeNothing) {
    MachineDescription d = defaultMachine();
    d.nvidiaCards[0].voltage.supported = false;
    machine.load(d);
    Greencard nv;
    ASSERT_EQ(nv.initialize(), 0);
    NvClockInfo record = filled(900);
    for (std::int32_t index : {-1, 1, 3}) {
        EXPECT_EQ(nv.setClocks(index, record), 0) << index;
        EXPECT_EQ(nv.clocks(index, &record), 0) << index;
        EXPECT_EQ(nv.usage(index), -1) << index;
    }
    EXPECT_EQ(record.entries[kNvCore].current, 900);
    const auto sets = callsTo("Nv_SetGPUClockInfoPStates");
    ASSERT_EQ(sets.size(), 3u) << "every call is journalled";
    EXPECT_EQ(sets[2].args[0], 3u);
    EXPECT_EQ(sets[2].result, 0);

    EXPECT_EQ(nv.setClocks(0, record), 1);
    const NvClockInfo held = nvidiaCard(machine.state(), 0)->clocks;
    EXPECT_EQ(held.entries[kNvCore].current, 900);
    EXPECT_EQ(held.entries[kNvVoltage].current, 1000) << "unsupported: the set is ignored";
}

TEST_F(VendorStandins, GreencardFaults) {
    Greencard nv;
    arm(&FaultSwitches::nvidiaInitResult, &FaultSwitches::nvidiaInit,
        FaultDetail{kAnyTarget, kAnyProperty, 3}, 1);
    EXPECT_EQ(nv.initialize(), 3);
    std::int32_t count = 77;
    EXPECT_EQ(nv.count(&count), 0) << "a failed initialisation opens no session";
    EXPECT_EQ(nv.initialize(), 0) << "the fault was for one call";

    setFault(machine.state().faults.nvidiaCountFails, 1);
    EXPECT_EQ(nv.count(&count), 0);
    EXPECT_EQ(count, 77);
    EXPECT_EQ(nv.count(&count), 1);

    char name[kNvidiaNameBytes + 1];
    std::memset(name, 'x', sizeof name);
    ASSERT_EQ(nv.name(0, name), 1);
    EXPECT_STREQ(name, "Kelvane Vortex 880");
    arm(&FaultSwitches::nameUnterminated, &FaultSwitches::unterminatedName, FaultDetail{0, kAnyProperty, 0},
        1);
    std::memset(name, 0, sizeof name);
    ASSERT_EQ(nv.name(0, name), 1);
    EXPECT_EQ(std::memchr(name, 0, kNvidiaNameBytes), nullptr) << "all 256 bytes written, none zero";
    EXPECT_EQ(std::string(name, 18), "Kelvane Vortex 880");
    EXPECT_EQ(name[kNvidiaNameBytes - 1], ' ');
    EXPECT_EQ(name[kNvidiaNameBytes], 0) << "nothing written past the buffer";
}

TEST_F(VendorStandins, RedcardCardsAndTheirFigures) {
    Redcard amd;
    EXPECT_EQ(amd.initialize(), -1) << "no AMD card on the default machine";
    load(kTwoAmdCards);
    EXPECT_EQ(amd.count(), 0) << "no session";
    ASSERT_EQ(amd.initialize(), 0);
    ASSERT_EQ(amd.count(), 2);
    EXPECT_EQ(amd.integrated(0), 1);
    EXPECT_EQ(amd.integrated(1), 0);
    EXPECT_EQ(amd.integrated(2), 0);
    EXPECT_EQ(amd.usage(1), 12);
    EXPECT_EQ(amd.frequency(0), 220);
    EXPECT_EQ(amd.adapterId(1), 1);
    EXPECT_EQ(amd.connected(0), 1);
    EXPECT_EQ(amd.connected(1), 0);
    EXPECT_EQ(amd.hybridMode(1), 2);
    EXPECT_EQ(amd.usage(2), -1);

    wchar_t name[kAmdNameUnits + 1];
    std::wmemset(name, L'x', kAmdNameUnits + 1);
    ASSERT_EQ(amd.name(0, name), 1);
    EXPECT_STREQ(name, L"Kelvane Ember \u2122");
    arm(&FaultSwitches::nameUnterminated, &FaultSwitches::unterminatedName,
        FaultDetail{kAnyTarget, kAnyProperty, 0}, 1);
    std::wmemset(name, 0, kAmdNameUnits + 1);
    ASSERT_EQ(amd.name(1, name), 1);
    EXPECT_EQ(std::wmemchr(name, 0, kAmdNameUnits), nullptr) << "all 512 bytes written, none zero";
    EXPECT_EQ(name[kAmdNameUnits], 0);

    arm(&FaultSwitches::amdInitResult, &FaultSwitches::amdInit,
        FaultDetail{kAnyTarget, kAnyProperty, 0xFFFFFFF8u}, 1);
    EXPECT_EQ(amd.initialize(), -8);
    EXPECT_EQ(amd.count(), 0) << "a failed initialisation ends the session";
}

TEST_F(VendorStandins, RedcardBlocksGoBackWholeAndKeepTheirCurrentValues) {
    load(kTwoAmdCards);
    Redcard amd;
    ASSERT_EQ(amd.initialize(), 0);
    AmdClockInfo block;
    std::memset(&block, 0, sizeof block);
    ASSERT_EQ(amd.clocks(1, &block), 1);
    EXPECT_EQ(block.entries[kAmdVoltage].current, 1150);
    EXPECT_EQ(block.entries[kAmdVoltage].step, 25);
    EXPECT_NE(block.entries[kAmdVoltage].supported, 0);
    EXPECT_EQ(std::memcmp(&block, &amdCard(machine.state(), 1)->clocks, sizeof block), 0)
        << "the whole block, the back end's own bytes included";

    AmdClockInfo changed = block;
    changed.entries[kAmdVoltage].current = 1200;
    EXPECT_EQ(amd.setClocks(1, changed), 1);
    AmdClockInfo again;
    ASSERT_EQ(amd.clocks(1, &again), 1);
    EXPECT_EQ(std::memcmp(&again, &changed, sizeof again), 0);

    AmdClockInfo tampered = again;
    tampered.entries[kAmdCore].opaque[0] ^= 0xFF;
    EXPECT_EQ(amd.setClocks(1, tampered), 1);
    const auto sets = callsTo("Amd_SetGpuClockInfo");
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].args, (std::vector<std::uint32_t>{1, 600, 900, 1200, 1})) << "came back intact";
    EXPECT_EQ(sets[1].args.back(), 0u) << "came back changed";

    AmdClockInfo integrated;
    ASSERT_EQ(amd.clocks(0, &integrated), 1);
    integrated.entries[kAmdVoltage].current = 999;
    EXPECT_EQ(amd.setClocks(0, integrated), 1);
    EXPECT_EQ(amdCard(machine.state(), 0)->clocks.entries[kAmdVoltage].current, 0) << "unsupported: ignored";
    EXPECT_EQ(amd.setClocks(2, integrated), 0);
    EXPECT_EQ(amd.setClocks(-1, integrated), 0);
}

TEST_F(VendorStandins, LumbraItemsAreStepsFromABase) {
    load(kTwoAmdCards);
    Lumbra lumbra;
    std::int32_t step = -5;
    EXPECT_EQ(lumbra.get(0x3020055, &step), 0) << "before LumbraInit";
    EXPECT_EQ(step, -5);
    ASSERT_EQ(lumbra.initialize(), 1);

    EXPECT_EQ(lumbra.supported(0x3020055), 1);
    EXPECT_EQ(lumbra.supported(0x3010060), 0) << "described as unsupported";
    EXPECT_EQ(lumbra.supported(0x3010063), 0) << "not on this machine";
    GgrpItemInfo info;
    std::memset(&info, 0, sizeof info);
    ASSERT_EQ(lumbra.info(0x3020055, &info), 1);
    EXPECT_EQ(info.base, 800);
    EXPECT_EQ(info.step, 25);
    EXPECT_EQ(info.stepCount, 9);
    EXPECT_EQ(info.defaultStep, 4);
    GgrpItemInfo untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    EXPECT_EQ(lumbra.info(0x3010060, &untouched), 0);
    EXPECT_EQ(untouched.base, 0x5A5A5A5A);

    ASSERT_EQ(lumbra.get(0x3020055, &step), 1);
    EXPECT_EQ(step, 2);
    EXPECT_EQ(lumbra.set(0x3020055, 9), 0) << "one past the last step";
    EXPECT_EQ(lumbra.set(0x3020055, -1), 0);
    EXPECT_EQ(lumbra.set(0x3020055, 8), 1);
    ASSERT_EQ(lumbra.get(0x3020055, &step), 1);
    EXPECT_EQ(step, 8);

    arm(&FaultSwitches::lumbraItemUnsupported, &FaultSwitches::unsupportedItem,
        FaultDetail{0x3020062, kAnyProperty, 0}, kFaultAlways);
    EXPECT_EQ(lumbra.supported(0x3020062), 0);
    EXPECT_EQ(lumbra.get(0x3020062, &step), 0);
    EXPECT_EQ(lumbra.set(0x3020062, 1), 0);
    EXPECT_EQ(lumbra.info(0x3020062, &info), 0);
    EXPECT_EQ(lumbra.supported(0x3020055), 1) << "other items are not affected";

    arm(&FaultSwitches::lumbraInitResult, &FaultSwitches::lumbraInit,
        FaultDetail{kAnyTarget, kAnyProperty, 0}, 1);
    EXPECT_EQ(lumbra.initialize(), 0);
    EXPECT_EQ(lumbra.supported(0x3020055), 0) << "a failed initialisation ends the session";
}

TEST_F(VendorStandins, EachVariantLacksExactlyItsOneExport) {
    const struct {
        const wchar_t* library;
        std::vector<const char*> exports;
    } libraries[] = {
        {L"Greencard",
         {"Nv_Initialize", "Nv_GetGPUCount", "Nv_GetGPUName", "Nv_GetGPUMemCapacity",
          "Nv_GetGPUClockInfoPStates", "Nv_SetGPUClockInfoPStates", "Nv_GetGPUFan", "Nv_SetGPUFan",
          "Nv_GetGpuMode", "Nv_UnInitialize", "Nv_GetGpuUsage"}},
        {L"Redcard",
         {"Amd_Initialize", "Amd_GetGpuCount", "Amd_GetGpuName", "Amd_GetGpuAdapterID", "Amd_GetGpuConnected",
          "Amd_GetGpuClockInfo", "Amd_SetGpuClockInfo", "Amd_IsIntegrated", "Amd_GetGpuUsage",
          "Amd_UnInitialize", "Amd_GetGpuHybridMode", "Amd_GetGpuFreq"}},
        {L"Lumbra", {"LumbraInit", "IsItemSupported", "GetGGRPItemInfo", "LumbraSetItem", "LumbraGetItem"}},
        {L"Pixread", {"ReadPngEx", "WritePngEx", "FreePngData", "AllocatePngData"}},
    };
    for (const auto& l : libraries) {
        const Library whole(std::wstring(L"standins\\") + l.library + L".dll");
        for (const char* e : l.exports) EXPECT_NE(::GetProcAddress(whole.module(), e), nullptr) << e;
        for (const char* missing : l.exports) {
            const Library variant(std::wstring(L"standins\\variants\\") + l.library + L"-no-" +
                                  win32::widen(missing) + L".dll");
            for (const char* e : l.exports)
                EXPECT_EQ(::GetProcAddress(variant.module(), e) == nullptr, e == missing)
                    << missing << " / " << e;
        }
    }
}

// The PNG library called as a program calls it, stdcall callbacks included: an image made with
// AllocatePngData, written through a write function, read back through a read function that hands
// out a few bytes a call, and freed.
struct ByteStream {
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
    int reads = 0;
    static std::int32_t __stdcall write(void* user, const void* data, std::int32_t count) {
        auto* self = static_cast<ByteStream*>(user);
        const auto* p = static_cast<const std::uint8_t*>(data);
        self->bytes.insert(self->bytes.end(), p, p + count);
        return count;
    }
    static std::int32_t __stdcall read(void* user, void* data, std::int32_t count) {
        auto* self = static_cast<ByteStream*>(user);
        ++self->reads;
        const auto n =
            std::min<std::size_t>({self->bytes.size() - self->at, static_cast<std::size_t>(count), 10});
        std::memcpy(data, self->bytes.data() + self->at, n);
        self->at += n;
        return static_cast<std::int32_t>(n);
    }
};

TEST_F(VendorStandins, PixreadWritesAndReadsAnImageThroughTheCallersFunctions) {
    using Allocate = std::int32_t __stdcall(PngRecord*, std::uint32_t, std::uint32_t, std::uint32_t);
    using Write = std::int32_t __stdcall(const PngRecord*, decltype(&ByteStream::write), void*);
    using Read = std::int32_t __stdcall(PngRecord*, decltype(&ByteStream::read), void*);
    using Free = void __stdcall(PngRecord*);
    const Library pixread(L"standins\\Pixread.dll");
    auto* allocate = pixread.entry<Allocate>("AllocatePngData");
    auto* write = pixread.entry<Write>("WritePngEx");
    auto* read = pixread.entry<Read>("ReadPngEx");
    auto* release = pixread.entry<Free>("FreePngData");
    ASSERT_TRUE(allocate && write && read && release);

    PngRecord image{};
    ASSERT_EQ(allocate(&image, 3, 2, kPngColourRgba), 1);
    for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t i = 0; i < 12; ++i) image.rows[y][i] = static_cast<std::uint8_t>(y * 100 + i);
    ByteStream stream;
    ASSERT_EQ(write(&image, &ByteStream::write, &stream), 1);
    release(&image);
    EXPECT_EQ(image.rows, nullptr);

    PngRecord back{};
    ASSERT_EQ(read(&back, &ByteStream::read, &stream), 1);
    EXPECT_GT(stream.reads, static_cast<int>(stream.bytes.size() / 10)) << "read 10 bytes at a time";
    EXPECT_EQ(back.width, 3u);
    EXPECT_EQ(back.height, 2u);
    EXPECT_EQ(back.colourType, kPngColourRgba);
    for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t i = 0; i < 12; ++i) EXPECT_EQ(back.rows[y][i], y * 100 + i);
    release(&back);

    PngRecord refused{};
    EXPECT_EQ(read(&refused, &ByteStream::read, &stream), 0) << "the stream is at its end: nothing to decode";
    EXPECT_EQ(refused.rows, nullptr);
}

}  // namespace
}  // namespace board_e2e
