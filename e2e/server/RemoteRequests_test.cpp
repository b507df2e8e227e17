// The server end to end: remote-link requests through the board's registers, as the second
// machine sends them, checked in the answers and in the exact register accesses of the journal.

#include <gtest/gtest.h>

#include "e2e/server/ServerRun.h"

namespace server_e2e {
namespace {

using simboard::Words;
constexpr std::uint32_t kFlag = wire::kFlagRegister;
constexpr std::uint32_t kData = wire::kDataRegister;
constexpr std::uint32_t kSelector = wire::kSelectorRegister;

struct Access {
    std::string entry;
    std::uint32_t id;
    std::uint32_t value;
    bool operator==(const Access&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Access& a) {
    return out << a.entry << "(0x" << std::hex << a.id << ", 0x" << a.value << ")" << std::dec;
}

// The server's ACPI register accesses after a sequence number, as (entry, device id, value).
std::vector<Access> registerAccesses(const std::vector<Call>& calls) {
    std::vector<Access> out;
    for (const Call& c : calls)
        if (c.library == "nuacpi" && c.args.size() >= 2) out.push_back({c.entry, c.args[0], c.args[1]});
    return out;
}

// The accesses of a whole handshake: flag, three words in, three words out, flag cleared.
std::vector<Access> handshake(const Words& in, const Words& out) {
    std::vector<Access> a = {{"Read", kFlag, 1}};
    for (std::uint32_t i = 0; i < 3; ++i) {
        a.push_back({"Write", kSelector, i});
        a.push_back({"Read", kData, in[i]});
    }
    for (std::uint32_t i = 0; i < 3; ++i) {
        a.push_back({"Write", kSelector, i});
        a.push_back({"Write", kData, out[i]});
    }
    a.push_back({"Write", kFlag, 0});
    return a;
}

class RemoteRequests : public ServerTest {
  protected:
    void SetUp() override {
        ServerTest::SetUp();
        ASSERT_TRUE(start());
    }

    // Sends a request and returns the register accesses it caused.
    std::vector<Access> accessesOf(const Words& words, std::uint32_t lParam = wire::kRemoteNotifyLParam) {
        const std::uint64_t before = e2e::lastSeq();
        const simboard::LinkResult r = request(words, lParam);
        EXPECT_TRUE(r.ok()) << r.error;
        return registerAccesses(calls(before));
    }
};

TEST_F(RemoteRequests, BothNotificationFormsAreHandledAlike) {
    const auto core = static_cast<std::uint32_t>(simboard::defaultMachine().nvidiaCards.at(0).core.current);
    const Words read = {0x10010000, 7, 8};
    EXPECT_EQ(accessesOf(read, wire::kRemoteNotifyLParam), handshake(read, {core, 0, 0}));
    EXPECT_EQ(accessesOf(read, wire::kRemoteNotifyLParamShort), handshake(read, {core, 0, 0}));
}

TEST_F(RemoteRequests, UnknownGroupStillCompletesTheHandshake) {
    for (std::uint32_t group : {3u, 9u, 15u}) {
        const Words w = {group << 28 | 0x00010000, 0xFFFFFFFF, 0xFFFFFFFF};
        EXPECT_EQ(accessesOf(w), handshake(w, {0, 0, 0})) << group;
        EXPECT_EQ(simboard::loadWord(machine.state().registers.flag), 0u);
    }
}

TEST_F(RemoteRequests, FlagOtherThanOneGetsTheErrorAnswerAndNothingElse) {
    for (std::uint32_t flag : {0u, 2u}) {
        simboard::storeWord(machine.state().registers.flag, flag);
        for (std::uint32_t& w : machine.state().registers.words) simboard::storeWord(w, 0xABCD0000 + flag);
        const std::uint64_t before = e2e::lastSeq();
        ASSERT_TRUE(console.notify(0x55, 0xEC).ok());
        ASSERT_TRUE(
            e2e::waitUntil([&] { return registerAccesses(calls(before)).size() >= 4; }, e2e::kPatienceMs));
        // A request behind it shows that nothing more came of the error.
        const Words marker = {0x30010000, 0, 0};
        ASSERT_TRUE(request(marker).ok());
        std::vector<Access> expected = {{"Read", kFlag, flag},
                                        {"Write", kSelector, 0},
                                        {"Write", kData, wire::kFlagErrorWord},
                                        {"Write", kFlag, 0}};
        const std::vector<Access> next = handshake(marker, {0, 0, 0});
        expected.insert(expected.end(), next.begin(), next.end());
        EXPECT_EQ(registerAccesses(calls(before)), expected) << "flag " << flag;
    }
    const std::string memo = waitForMemo("Flag err...");
    EXPECT_NE(memo.find("Get Notify....\r\nFlag err...\r\n"), std::string::npos);
}

// What a notification does that comes for a request other than the one staged: one whose flag write
// was lost, one announced again after a timeout, one that arrives late while the next is staged.
TEST_F(RemoteRequests, NotificationsThatMeetAnotherRequestAnswerItOrOverwriteWordZero) {
    const auto registerWords = [&] {
        Words w;
        for (std::size_t i = 0; i < 3; ++i) w[i] = simboard::loadWord(machine.state().registers.words[i]);
        return w;
    };
    const auto handled = [&](std::uint64_t before, std::size_t requests) {
        return e2e::waitUntil(
            [&] {
                std::size_t flagWrites = 0;
                for (const Access& a : registerAccesses(calls(before)))
                    if (a == Access{"Write", kFlag, 0}) ++flagWrites;
                return flagWrites >= requests;
            },
            e2e::kPatienceMs);
    };

    // The remote side's flag write is lost: the flag reads 0 at once, so a side that does not read
    // it back takes its own words for the answer. The error answer comes after and keeps A1 and A2.
    std::uint64_t before = e2e::lastSeq();
    const Words readCore = {0x10010000, 0x12345678, 0x9ABC1234};
    console.stage(readCore, /*flag=*/0);
    const simboard::LinkResult lost = console.notifyAndWait(e2e::kPatienceMs, form);
    ASSERT_TRUE(lost.ok());
    EXPECT_EQ(lost.answer[1], readCore[1]);
    EXPECT_EQ(lost.answer[2], readCore[2]);
    ASSERT_TRUE(handled(before, 1));
    EXPECT_EQ(registerWords(), (Words{wire::kFlagErrorWord, 0x12345678, 0x9ABC1234}));

    // Announced twice (a late notification and the next one): the first notification answers the
    // words staged, the second finds the flag at 0 and writes the error word over the answer's A0.
    before = e2e::lastSeq();
    const Words readAll = {0x100A0000, 0, 0x00005A5A};
    console.stage(readAll);
    ASSERT_TRUE(console.notify(wire::kRemoteNotifyWParam, wire::kRemoteNotifyLParam).ok());
    ASSERT_TRUE(console.notify(wire::kRemoteNotifyWParam, wire::kRemoteNotifyLParam).ok());
    ASSERT_TRUE(handled(before, 2));
    const std::vector<Access> both = registerAccesses(calls(before));
    ASSERT_EQ(both.size(), 14u + 4u);
    const Words answered = {both[8].value, both[10].value, both[12].value};
    EXPECT_EQ(std::vector<Access>(both.begin(), both.begin() + 14), handshake(readAll, answered));
    EXPECT_EQ(registerWords(), (Words{wire::kFlagErrorWord, answered[1], answered[2]}));
    EXPECT_EQ(answered[2] & 0xFFFF, 0u) << "a real answer writes all three words: the marker is gone";

    // A late notification while the next request is being staged (its words written, the flag not
    // yet): word 0 becomes the error word, and the request then announced is answered as read 0.
    before = e2e::lastSeq();
    console.stage(readAll, /*flag=*/0);
    ASSERT_TRUE(console.notify(wire::kRemoteNotifyWParam, wire::kRemoteNotifyLParam).ok());
    ASSERT_TRUE(handled(before, 1));
    simboard::storeWord(machine.state().registers.flag, wire::kFlagRequestWaiting);
    const simboard::LinkResult spoiled = console.notifyAndWait(e2e::kPatienceMs, form);
    ASSERT_TRUE(spoiled.ok());
    EXPECT_EQ(spoiled.answer, (Words{0, 0, 0}));
    ASSERT_TRUE(handled(before, 2));
    const std::vector<Access> staged = registerAccesses(calls(before));
    ASSERT_EQ(staged.size(), 4u + 14u);
    EXPECT_EQ(std::vector<Access>(staged.begin() + 4, staged.end()),
              handshake({wire::kFlagErrorWord, readAll[1], readAll[2]}, {0, 0, 0}));
}

TEST_F(RemoteRequests, OtherNotificationsReadNoRegister) {
    const std::uint64_t before = e2e::lastSeq();
    for (auto [w, l] : {std::pair{0x54u, 0xA0020000u}, {0x54u, 0xECu}, {0x55u, 0xA0020001u}, {0x55u, 0u}})
        ASSERT_TRUE(console.notify(w, l).ok());
    const Words marker = {0x30010000, 1, 2};
    ASSERT_TRUE(request(marker).ok());
    EXPECT_EQ(registerAccesses(calls(before)), handshake(marker, {0, 0, 0}));
}

TEST_F(RemoteRequests, RequestIsLoggedToTheMemo) {
    ASSERT_TRUE(request({0x20070320, 0x0384044C, 0x002C0000}).ok());
    const std::string memo = waitForMemo("Data2--->");
    EXPECT_NE(memo.find("Get Notify....\r\nfun == 0x01\r\ndata -->0\r\n537330464\r\ndata -->1\r\n58983500\r\n"
                        "data -->2\r\n2883584\r\nData--->\r\n1\r\nData1--->\r\n0\r\nData2--->\r\n0\r\n"),
              std::string::npos)
        << memo;
}

TEST_F(RemoteRequests, MemoKeepsTheMostRecentLinesOfALongRun) {
    constexpr int kRequests = 250;  // 15 lines each (a read logs its row): well past the memo's 2,000
    for (int i = 0; i < kRequests; ++i)
        ASSERT_TRUE(request({0x10010000, static_cast<std::uint32_t>(i), 0}).ok());
    ASSERT_TRUE(request({0x10010000, 777777, 0}).ok());
    // The memo's lines arrive in batches: wait for the last request's last line too.
    std::string memo;
    e2e::waitUntil(
        [&] {
            memo = waitForMemo("777777");
            return memo.ends_with("Data2--->\r\n0\r\n");
        },
        e2e::kPatienceMs);
    std::size_t lines = 0;
    for (char c : memo) lines += c == '\n';
    EXPECT_GE(lines, 2000u);
    EXPECT_LE(lines, 2500u + 14u);
    EXPECT_TRUE(memo.ends_with("Data2--->\r\n0\r\n")) << "the newest lines are at the end";
    EXPECT_EQ(memo.find("data -->1\r\n0\r\n"), std::string::npos) << "the oldest requests were dropped";
}

// A machine without a display device, or with devices of two vendors, has no card back end: the
// server says so at start and then answers every request without touching a card.
TEST_F(ServerTest, WithoutACardBackEndSetsAnswerOneAndNothingElseIsFilled) {
    for (const char* shipped : {"no-display", "mixed-vendors"}) {
        SCOPED_TRACE(shipped);
        run.reset();
        folder.reset();  // the next run's folder has the same name
        machine.reset();
        machine.load(shippedMachine(shipped));
        ASSERT_TRUE(start());
        std::string text;
        HWND box = waitForMessageBox(text);
        ASSERT_TRUE(box);
        EXPECT_EQ(text, "Please install the right VGA driver first!");
        const simboard::LinkResult whileShown = request({0x00010000, 0, 0});
        EXPECT_TRUE(whileShown.ok()) << "the report does not hold requests up";
        EXPECT_EQ(whileShown.answer, (Words{0, 0, 0}));
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        waitUntilStarted();  // the About box, made after the main window, has loaded its skin

        const std::uint64_t before = e2e::lastSeq();
        const Words setAll = {0x20070320, 0x0384044C, 0x002C0000};
        const simboard::LinkResult set = request(setAll);
        ASSERT_TRUE(set.ok());
        EXPECT_EQ(set.answer, (Words{1, 0, 0}));
        for (const Words& w : {Words{0x00070000, 0, 0}, Words{0x00010000, 0, 0}, Words{0x100A0000, 0, 0},
                               Words{0x10010000, 0, 0}}) {
            const simboard::LinkResult r = request(w);
            ASSERT_TRUE(r.ok());
            EXPECT_EQ(r.answer, (Words{0, 0, 0})) << std::hex << w[0];
        }
        for (const Call& c : calls(before)) EXPECT_EQ(c.library, "nuacpi") << c.entry;
    }
}

}  // namespace
}  // namespace server_e2e
