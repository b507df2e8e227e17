// Fuzzes the server's request handling against the remote side's model: a card state, a setting
// and a run of notifications with any words, flags and parameters. After each one the register
// words, the flag, the card behind the back end and the remembered voltage must be what the model
// says; the wire's decoder must give back every field it read when encoding again.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mainboard/tools/common/ChannelModel.h"
#include "server/core/RemoteChannel.h"

namespace {

using simboard::ChannelModel;
using wire::Words;

[[noreturn]] void fail(const char* what, const Words& request, std::uint32_t a, std::uint32_t b) {
    std::fprintf(stderr, "request %08X %08X %08X: %s: %08X, expected %08X\n", request[0], request[1],
                 request[2], what, a, b);
    std::abort();
}

class Bank : public kelvane::RegisterBus {
  public:
    std::uint32_t flag = 0, selector = 0;
    Words words{};
    std::uint32_t accesses = 0;

    std::uint32_t read(std::uint32_t id) override {
        ++accesses;
        return id == wire::kFlagRegister ? flag : id == wire::kDataRegister ? words[selector % 3] : selector;
    }
    void write(std::uint32_t id, std::uint32_t value) override {
        ++accesses;
        if (id == wire::kFlagRegister) flag = value;
        if (id == wire::kSelectorRegister) selector = value;
        if (id == wire::kDataRegister) words[selector % 3] = value;
    }
};

class NoLog : public kelvane::LogSink {
  public:
    void addLine(std::string_view) override {}
};

// Card 0 as the board's back end holds it: reads fill the named entries, sets keep the current
// value of every supported entry; other indices have no card.
class Card0 : public kelvane::GreencardBackend {
  public:
    simboard::NvClockInfo held{};

    std::uint8_t Init() override { return 1; }
    bool IsLoaded() const override { return true; }
    bool Nv_GetGPUCount(std::uint32_t&) override { return false; }
    bool Nv_GetGPUName(std::int32_t, std::string&) override { return false; }
    void Nv_UnInitialize() override {}
    bool Nv_GetGPUClockInfoPStates(std::int32_t index, kelvane::NvClockInfo& r) override {
        return index == 0 && copyOut(r, {simboard::kNvCore, simboard::kNvMemory, simboard::kNvVoltage});
    }
    bool Nv_GetGPUFan(std::int32_t index, kelvane::NvClockInfo& r) override {
        return index == 0 && copyOut(r, {simboard::kNvFan});
    }
    bool Nv_SetGPUClockInfoPStates(std::int32_t index, const kelvane::NvClockInfo& r) override {
        return index == 0 && keep(r, {simboard::kNvCore, simboard::kNvMemory, simboard::kNvVoltage});
    }
    bool Nv_SetGPUFan(std::int32_t index, const kelvane::NvClockInfo& r) override {
        return index == 0 && keep(r, {simboard::kNvFan});
    }

  private:
    static simboard::NvClockInfo asBoard(const kelvane::NvClockInfo& r) {
        simboard::NvClockInfo b;
        std::memcpy(&b, &r, sizeof b);
        return b;
    }
    bool copyOut(kelvane::NvClockInfo& r, std::initializer_list<simboard::NvEntry> entries) {
        simboard::NvClockInfo b = asBoard(r);
        for (auto e : entries) b.entries[e] = held.entries[e];
        std::memcpy(&r, &b, sizeof r);
        return true;
    }
    bool keep(const kelvane::NvClockInfo& r, std::initializer_list<simboard::NvEntry> entries) {
        const simboard::NvClockInfo b = asBoard(r);
        for (auto e : entries)
            if (held.entries[e].supported != 0) held.entries[e].current = b.entries[e].current;
        return true;
    }
};

class Database : public kelvane::CardDatabase {
  public:
    std::int32_t models[16] = {};
    std::int32_t version = 1;
    std::int32_t lookupModelId(std::uint32_t card) override { return models[card & 0xF]; }
    std::int32_t readVersion() override { return version; }
    kelvane::ModelDefaults modelDefaults(std::int32_t) override { return {}; }
    void recordMaxVoltage(std::int32_t) override {}
};

// Every field the decoder reads comes back in place when encoded again; the bits it must not read
// (23..20 of word 0, word 2 outside set-all, word 2's low half) do not.
void checkDecoder(const Words& w) {
    const wire::RemoteRequest r = wire::RemoteRequest::decode(w[0], w[1], w[2]);
    const bool setAll = w[0] >> 28 == wire::wireNumber(wire::RequestGroup::Set) &&
                        ((w[0] >> 16) & 0xF) == wire::wireNumber(wire::SetCommand::All);
    const Words again = r.encode();
    const Words expected = {w[0] & 0xFF0FFFFFu, w[1], setAll ? w[2] & 0xFFFF0000u : 0};
    for (int i = 0; i < 3; ++i)
        if (again[i] != expected[i]) fail("decoded and encoded again", w, again[i], expected[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Card0 card;
    Database database;
    kelvane::CardState cards;
    cards.greencardActive = in.ConsumeBool();
    cards.cardCount =
        in.ConsumeIntegralInRange<std::int32_t>(0, 5);  // 4 in the product; the rule holds for any
    for (auto& e : card.held.entries) {
        e.current = in.ConsumeIntegral<std::int32_t>();
        e.minimum = in.ConsumeIntegral<std::int32_t>();
        e.maximum = in.ConsumeIntegral<std::int32_t>();
        e.defaultValue = in.ConsumeIntegral<std::int32_t>();
        e.supported = in.ConsumeIntegral<std::int32_t>();
    }
    for (auto& m : database.models) m = in.ConsumeIntegral<std::int32_t>();
    database.version = in.ConsumeIntegral<std::int32_t>();

    simboard::ChannelSetting setting;
    setting.greencardActive = cards.greencardActive;
    setting.cardCount = static_cast<std::uint32_t>(cards.cardCount);
    setting.modelIdOf = [&](std::uint32_t c) { return database.models[c]; };
    setting.databaseVersion = database.version;
    simboard::ChannelState start;
    start.card0 = card.held;
    ChannelModel model(setting, start);

    Bank bank;
    NoLog log;
    kelvane::RemoteChannel channel({bank, log, cards, &card, &database, nullptr});
    while (in.remaining_bytes() > 0) {
        const Words w = {in.ConsumeIntegral<std::uint32_t>(), in.ConsumeIntegral<std::uint32_t>(),
                         in.ConsumeIntegral<std::uint32_t>()};
        checkDecoder(w);
        const std::uint8_t how = in.ConsumeIntegral<std::uint8_t>();
        const std::uint32_t flag =
            how < 0xE0 ? wire::kFlagRequestWaiting : in.ConsumeIntegral<std::uint32_t>();
        std::uint32_t wParam = wire::kRemoteNotifyWParam;
        std::uint32_t lParam = how & 1 ? wire::kRemoteNotifyLParamShort : wire::kRemoteNotifyLParam;
        if (how >= 0xC0 && how < 0xE0) {
            wParam = in.ConsumeIntegral<std::uint32_t>();
            lParam = in.ConsumeIntegral<std::uint32_t>();
        }
        bank.words = w;
        bank.flag = flag;
        bank.accesses = 0;
        channel.onNotification(wParam, lParam);

        Words expected = w;
        std::uint32_t expectedFlag = flag;
        if (!wire::isRemoteNotification(wParam, lParam)) {
            if (bank.accesses != 0) fail("registers touched on a foreign notification", w, bank.accesses, 0);
        } else {
            expected = flag == wire::kFlagRequestWaiting ? model.answer(w) : ChannelModel::flagErrorAnswer(w);
            expectedFlag = 0;
        }
        for (int i = 0; i < 3; ++i)
            if (bank.words[i] != expected[i]) fail("answer word", w, bank.words[i], expected[i]);
        if (bank.flag != expectedFlag) fail("flag", w, bank.flag, expectedFlag);
        for (int e = 0; e < simboard::kNvEntryCount; ++e)
            if (card.held.entries[e].current != model.state().card0.entries[e].current)
                fail("card current", w, static_cast<std::uint32_t>(card.held.entries[e].current),
                     static_cast<std::uint32_t>(model.state().card0.entries[e].current));
        if (channel.voltageLatch() != model.state().voltageLatch)
            fail("voltage latch", w, channel.voltageLatch(), model.state().voltageLatch);
        if (channel.lastSetVoltage() != model.state().lastSetVoltage)
            fail("last set voltage", w, static_cast<std::uint32_t>(channel.lastSetVoltage()),
                 static_cast<std::uint32_t>(model.state().lastSetVoltage));
    }
    return 0;
}
