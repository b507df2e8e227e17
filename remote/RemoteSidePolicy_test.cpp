// The kit's request machine against a model of the server's side of the registers: the handshake,
// the error answer, notifications lost, queued or late, failing accesses on either side, and a clock
// that wraps. Every run is held to kvr_bound_ms.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "remote/RemoteSide.h"

namespace {

using Words = std::array<std::uint32_t, KVR_WORD_COUNT>;
constexpr std::uint32_t kTickMs = 5;  // how often the model's host steps the kit

// The model server's answers, different for every command, so that no answer passes for another's.
Words answerOf(const Words& request) {
    const std::uint32_t group = KVR_WORD0_GROUP(request[0]), command = KVR_WORD0_COMMAND(request[0]);
    if (group == KVR_GROUP_SET) return {1, 0, 0};
    if (group == KVR_GROUP_INFORMATION && command == KVR_INFO_CARD_COUNT) return {4, 0, 0};
    if (group == KVR_GROUP_INFORMATION && command == KVR_INFO_BOARD_WORD) return {0x41030110, 0, 0};
    if (group != KVR_GROUP_READ) return {0, 0, 0};
    switch (command) {
        case KVR_READ_CORE_CURRENT:
            return {760, 0, 0};
        case KVR_READ_VOLTAGE_CURRENT:
            return {0, 0, 1075};
        case KVR_READ_ALL_CURRENT:
            return {760, KVR_HALVES(950, 1075), KVR_HALVES(44, 0)};
        default:
            return {0, 0, 0};  // read 0 among them: what a request whose word 0 became the error word gets
    }
}

// The server's side: notifications handled one at a time, each as the server's own sequence of
// register accesses (flag; three words in; three words out; flag), one access per advance().
class ServerSide {
  public:
    std::uint32_t flag = 0;
    Words words{};
    int flagReadsFailing = 0;       // such a read gives 0: the error answer
    int wordZeroWritesFailing = 0;  // the answer's word 0 is not stored
    std::function<Words(const Words&)> answers = answerOf;
    std::vector<Words> carriedOut;  // the request words of every real handling, in order

    void queue() { ++m_pending; }
    int pending() const { return m_pending + (m_step >= 0 ? 1 : 0); }

    bool advance() {
        if (m_step < 0) {
            if (m_pending == 0) return false;
            --m_pending;
            m_step = 0;
        }
        const int step = m_step++;
        if (step == 0) {
            m_real = flag == KVR_FLAG_REQUEST_WAITING && !consume(flagReadsFailing);
        } else if (!m_real) {
            if (step == 1) words[0] = KVR_ERROR_WORD;
            if (step == 2) finish();
        } else if (step <= 3) {
            m_in[step - 1] = words[step - 1];
        } else if (step <= 6) {
            if (step == 4) {
                carriedOut.push_back(m_in);
                m_out = answers(m_in);
            }
            if (step != 4 || !consume(wordZeroWritesFailing)) words[step - 4] = m_out[step - 4];
        } else {
            finish();
        }
        return true;
    }
    void runAll() {
        while (advance()) {
        }
    }

  private:
    static bool consume(int& counter) { return counter > 0 && counter-- > 0; }
    void finish() {
        flag = 0;
        m_step = -1;
    }
    int m_pending = 0;
    int m_step = -1;
    bool m_real = false;
    Words m_in{}, m_out{};
};

// The remote end of the port: a selector of its own, the server's words and flag, a clock, and
// switches for what goes wrong on this side.
struct Port {
    explicit Port(ServerSide& s) : server(&s) {}
    ServerSide* server;
    std::uint32_t selector = 0;
    std::uint32_t clock = 1000;
    int accesses = 0;
    int failingAccess = -1;     // this access (counted from 0) fails
    int notificationsLost = 0;  // the next N never reach the server (none registered)
    bool notifyFails = false;
    bool dataWritesDropped = false;
    bool announcesOnFlagWrite = false;  // a port without notify: a flag write of 1 is the notification
    std::function<void(int access)> beforeAccess;

    bool access() {
        if (beforeAccess) beforeAccess(accesses);
        return accesses++ != failingAccess;
    }
    void announce() {
        if (notificationsLost > 0)
            --notificationsLost;
        else
            server->queue();
    }
    static Port& of(void* c) { return *static_cast<Port*>(c); }
    static bool read(void* c, std::uint32_t id, std::uint32_t* value) {
        Port& p = of(c);
        if (!p.access()) return false;
        if (id == KVR_FLAG_REGISTER) *value = p.server->flag;
        if (id == KVR_SELECTOR_REGISTER) *value = p.selector;
        if (id == KVR_DATA_REGISTER) *value = p.server->words[p.selector];
        return true;
    }
    static bool write(void* c, std::uint32_t id, std::uint32_t value) {
        Port& p = of(c);
        if (!p.access()) return false;
        if (id == KVR_FLAG_REGISTER) {
            p.server->flag = value;
            if (p.announcesOnFlagWrite && value == KVR_FLAG_REQUEST_WAITING) p.announce();
        }
        if (id == KVR_SELECTOR_REGISTER) {
            if (value >= KVR_WORD_COUNT) return false;
            p.selector = value;
        }
        if (id == KVR_DATA_REGISTER && !p.dataWritesDropped) p.server->words[p.selector] = value;
        return true;
    }
    static bool notify(void* c) {
        Port& p = of(c);
        if (p.notifyFails) return false;
        p.announce();
        return true;
    }
    static std::uint32_t now(void* c) { return of(c).clock; }
    // For the blocking calls: the time between two polls, in which the server does its part.
    static void pause(void* c, std::uint32_t) {
        Port& p = of(c);
        p.server->runAll();
        p.clock += kTickMs;
    }
};

struct RunResult {
    kvr_status status = KVR_PENDING;
    std::uint32_t elapsedMs = 0;
    kvr_outcome outcome{};
};

class KitAgainstServer : public ::testing::Test {
  public:
    ServerSide server;
    Port port{server};
    kvr_link link{};
    kvr_config config{};
    // What the server does at each of the host's ticks: by default it handles whatever is queued.
    std::function<void()> serverTick = [this] { server.runAll(); };

    void SetUp() override { kvr_default_config(&config); }

    void init(bool blocking = false) {
        const kvr_transport t = {&port,       Port::read,
                                 Port::write, port.announcesOnFlagWrite ? nullptr : Port::notify,
                                 Port::now,   blocking ? Port::pause : nullptr};
        ASSERT_EQ(kvr_init(&link, &t, &config), KVR_OK);
    }

    // Steps a begun request to its end, the server ticking between steps, within the kit's bound.
    RunResult finish(std::uint32_t requests = 1) {
        RunResult run;
        const std::uint32_t start = port.clock;
        const std::uint32_t limit = requests * kvr_bound_ms(&link) + 8 * kTickMs;
        while ((run.status = kvr_step(&link)) == KVR_PENDING) {
            serverTick();
            port.clock += kTickMs;
            if (port.clock - start > limit) {
                ADD_FAILURE() << "no result within the bound of " << limit << " ms";
                break;
            }
        }
        run.elapsedMs = port.clock - start;
        run.outcome = *kvr_last_outcome(&link);
        return run;
    }

    RunResult request(kvr_command command, std::int32_t card = 0, kvr_values values = {}) {
        if (kvr_begin(&link, command, card, &values) != KVR_PENDING) return {};
        return finish();
    }

    // The answer the server gives this command's words.
    static kvr_reading truth(kvr_command command) {
        Words w{};
        kvr_reading r{};
        EXPECT_EQ(kvr_encode(command, 0, nullptr, w.data()), KVR_OK);
        EXPECT_EQ(kvr_decode(command, answerOf(w).data(), &r), KVR_OK);
        return r;
    }
    void expectTruth(kvr_command command) {
        kvr_reading got{};
        ASSERT_EQ(kvr_reading_of(&link, &got), KVR_OK);
        const kvr_reading want = truth(command);
        EXPECT_EQ(got.value, want.value);
        EXPECT_EQ(got.core, want.core);
        EXPECT_EQ(got.memory, want.memory);
        EXPECT_EQ(got.voltage, want.voltage);
        EXPECT_EQ(got.fan, want.fan);
        EXPECT_EQ(got.cards, want.cards);
    }
};

// What the server and the port do in each case, and what the kit makes of it.
TEST_F(KitAgainstServer, EveryBehaviourOfTheServerEndsInItsStatus) {
    struct Case {
        const char* name;
        std::function<void(KitAgainstServer&)> arrange;
        kvr_command command;
        kvr_status expected;
        unsigned announcements;  // of the last attempt
        unsigned attempts;
    };
    const auto stoppedUntil = [](std::uint32_t ms) {
        return [ms](KitAgainstServer& t) {
            const std::uint32_t resume = t.port.clock + ms;
            t.serverTick = [&t, resume] {
                if (t.port.clock >= resume) t.server.runAll();
            };
        };
    };
    const Case cases[] = {
        {"answered at once", [](KitAgainstServer&) {}, KVR_CMD_READ_CORE, KVR_ANSWERED, 1, 1},
        {"no server registered: every notification lost",
         [](KitAgainstServer& t) { t.port.notificationsLost = 100; }, KVR_CMD_READ_CORE,
         KVR_TIMED_OUT_WITHDRAWN, 3, 1},
        {"the first notification lost", [](KitAgainstServer& t) { t.port.notificationsLost = 1; },
         KVR_CMD_READ_ALL, KVR_ANSWERED, 2, 1},
        // Continued after 1.5 waits: the first notification answers, the second writes the error
        // word over A0 before the kit looks; so it asks again.
        {"the server stopped past one wait", stoppedUntil(3000), KVR_CMD_READ_CORE, KVR_ANSWERED, 1, 2},
        {"the server stopped past one wait, a set", stoppedUntil(3000), KVR_CMD_SET_CORE, KVR_ANSWERED, 2, 1},
        {"the server stopped past the last wait", stoppedUntil(6100), KVR_CMD_READ_CORE,
         KVR_TIMED_OUT_WITHDRAWN, 3, 1},
        {"the server's flag read fails", [](KitAgainstServer& t) { t.server.flagReadsFailing = 1; },
         KVR_CMD_SET_ALL, KVR_ERROR_ANSWER, 1, 1},
        {"the server's write of answer word 0 fails",
         [](KitAgainstServer& t) { t.server.wordZeroWritesFailing = 1; }, KVR_CMD_READ_CORE, KVR_ANSWERED, 1,
         2},
        {"a set answered as another command",
         [](KitAgainstServer& t) { t.server.answers = [](const Words&) {
                                       return Words{0, 0, 0};
                                   }; },
         KVR_CMD_SET_VOLTAGE, KVR_MISMATCHED_ANSWER, 1, 2},
        {"a request left staged before a restart",
         [](KitAgainstServer& t) {
             t.server.flag = 1;
             t.server.words = {0x20070320, 0x0384044C, 0x002C0000};
         },
         KVR_CMD_BOARD_WORD, KVR_ANSWERED, 1, 1},
        {"left staged on purpose, no server",
         [](KitAgainstServer& t) {
             t.config.leave_staged = true;
             t.port.notificationsLost = 100;
         },
         KVR_CMD_READ_CORE, KVR_TIMED_OUT_STAGED, 3, 1},
        {"a port that announces on the flag write, the first lost",
         [](KitAgainstServer& t) {
             t.port.announcesOnFlagWrite = true;
             t.port.notificationsLost = 1;
         },
         KVR_CMD_READ_VOLTAGE, KVR_ANSWERED, 2, 1},
        {"the port's reads and writes fail", [](KitAgainstServer& t) { t.port.failingAccess = 3; },
         KVR_CMD_READ_CORE, KVR_TRANSPORT_FAILURE, 0, 1},
        {"the notification cannot be raised", [](KitAgainstServer& t) { t.port.notifyFails = true; },
         KVR_CMD_READ_CORE, KVR_TRANSPORT_FAILURE, 0, 1},
        {"words that do not stay", [](KitAgainstServer& t) { t.port.dataWritesDropped = true; },
         KVR_CMD_SET_CORE, KVR_TRANSPORT_FAILURE, 0, 1},
        {"the clock wraps during the waits",
         [](KitAgainstServer& t) {
             t.port.clock = 0xFFFFFFFFu - 3000;
             t.port.notificationsLost = 100;
         },
         KVR_CMD_READ_CORE, KVR_TIMED_OUT_WITHDRAWN, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server = ServerSide{};
        port = Port(server);
        kvr_default_config(&config);
        serverTick = [this] { server.runAll(); };
        c.arrange(*this);
        init();
        const RunResult run = request(c.command);
        EXPECT_EQ(run.status, c.expected) << kvr_status_text(run.status);
        EXPECT_EQ(run.outcome.announcements, c.announcements);
        EXPECT_EQ(run.outcome.attempts, c.attempts);
        if (run.status == KVR_ANSWERED) expectTruth(c.command);
        // What the kit leaves: the flag at 0, unless it was asked to leave the request staged.
        EXPECT_EQ(server.flag, c.expected == KVR_TIMED_OUT_STAGED ? 1u : 0u);
    }
}

// The blocking call of each command: the request it sends, and what it makes of an answer whose
// three words differ in every half (A0 = id + 100 : id, A1 = id + 200 : id + 1, A2 = id + 300 :
// id + 2, with id = group * 16 + command), so that a value taken from the wrong word or half shows.
TEST_F(KitAgainstServer, EachCommandsCallSendsItsRowAndTakesItsOwnWords) {
    server.answers = [](const Words& request) {
        const std::uint32_t group = KVR_WORD0_GROUP(request[0]), command = KVR_WORD0_COMMAND(request[0]);
        const std::uint32_t id = group * 16 + command;
        if (group == KVR_GROUP_SET) return Words{1, 0, 0};
        if (group == KVR_GROUP_INFORMATION && command == KVR_INFO_BOARD_WORD) return Words{0x41030110, 0, 0};
        return Words{KVR_HALVES(id + 100, id), KVR_HALVES(id + 200, id + 1), KVR_HALVES(id + 300, id + 2)};
    };
    init(/*blocking=*/true);
    using Values = std::vector<std::uint32_t>;
    struct Row {
        const char* name;
        std::function<kvr_status(kvr_link*, Values&)> call;
        Words sent;
        Values got;
    };
    const kvr_values all = {800, 900, 1100, 44};
    const Row rows[] = {
        {"card count",
         [](kvr_link* l, Values& v) { return kvr_card_count(l, &v[0]); },
         {0x00010000, 0, KVR_MARKER},
         {0x00650001}},
        {"model of card 2",
         [](kvr_link* l, Values& v) { return kvr_model_id(l, 2, &v[0]); },
         {0x02020000, 0, KVR_MARKER},
         {0x00660002}},
        {"capability",
         [](kvr_link* l, Values& v) { return kvr_capability(l, &v[0]); },
         {0x00040000, 0, KVR_MARKER},
         {0x00680004}},
        {"board word",
         [](kvr_link* l, Values& v) { return kvr_board_word(l, &v[0], &v[1], &v[2]); },
         {0x00070000, 0, KVR_MARKER},
         {4, 3, 1}},
        {"core",
         [](kvr_link* l, Values& v) { return kvr_read_core(l, &v[0]); },
         {0x10010000, 0, KVR_MARKER},
         {0x00750011}},
        {"core range",
         [](kvr_link* l, Values& v) { return kvr_read_core_range(l, &v[0], &v[1]); },
         {0x10020000, 0, KVR_MARKER},
         {18, 118}},
        {"memory",
         [](kvr_link* l, Values& v) { return kvr_read_memory(l, &v[0]); },
         {0x10030000, 0, KVR_MARKER},
         {0x00DB0014}},
        {"memory range",
         [](kvr_link* l, Values& v) { return kvr_read_memory_range(l, &v[0], &v[1]); },
         {0x10040000, 0, KVR_MARKER},
         {21, 220}},
        {"core default",
         [](kvr_link* l, Values& v) { return kvr_read_core_default(l, &v[0]); },
         {0x10050000, 0, KVR_MARKER},
         {0x00790015}},
        {"memory default",
         [](kvr_link* l, Values& v) { return kvr_read_memory_default(l, &v[0]); },
         {0x10060000, 0, KVR_MARKER},
         {0x00DE0017}},
        {"voltage",
         [](kvr_link* l, Values& v) { return kvr_read_voltage(l, &v[0]); },
         {0x10070000, 0, KVR_MARKER},
         {0x01430019}},
        {"voltage range",
         [](kvr_link* l, Values& v) { return kvr_read_voltage_range(l, &v[0], &v[1]); },
         {0x10080000, 0, KVR_MARKER},
         {26, 324}},
        {"voltage default",
         [](kvr_link* l, Values& v) { return kvr_read_voltage_default(l, &v[0]); },
         {0x10090000, 0, KVR_MARKER},
         {0x0145001B}},
        {"read all",
         [](kvr_link* l, Values& v) {
             kvr_reading r{};
             const kvr_status s = kvr_read_all(l, &r);
             v = {r.core, r.memory, r.voltage, r.fan};
             return s;
         },
         {0x100A0000, 0, KVR_MARKER},
         {0x007E001A, 226, 27, 326}},
        {"ping", [](kvr_link* l, Values&) { return kvr_ping(l); }, {0x20000000, 0, KVR_MARKER}, {}},
        {"set core",
         [](kvr_link* l, Values&) { return kvr_set_core(l, 800); },
         {0x20010320, 0, KVR_MARKER},
         {}},
        {"set memory",
         [](kvr_link* l, Values&) { return kvr_set_memory(l, 900); },
         {0x20020000, 0x03840000, KVR_MARKER},
         {}},
        {"set voltage",
         [](kvr_link* l, Values&) { return kvr_set_voltage(l, 1100); },
         {0x20030000, 0x0000044C, KVR_MARKER},
         {}},
        {"set core of every card",
         [](kvr_link* l, Values&) { return kvr_set_core_every(l, 780); },
         {0x2004030C, 0, KVR_MARKER},
         {}},
        {"set memory of every card",
         [](kvr_link* l, Values&) { return kvr_set_memory_every(l, 940); },
         {0x20050000, 0x03AC0000, KVR_MARKER},
         {}},
        {"set voltage of every card",
         [](kvr_link* l, Values&) { return kvr_set_voltage_every(l, 1050); },
         {0x20060000, 0x0000041A, KVR_MARKER},
         {}},
        {"set all",
         [&all](kvr_link* l, Values&) { return kvr_set_all(l, &all); },
         {0x20070320, 0x0384044C, 0x002C5A5A},
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Values got(row.got.size() < 3 ? 3 : row.got.size(), 0xDEADBEEF);
        ASSERT_EQ(row.call(&link, got), KVR_ANSWERED);
        got.resize(row.got.size());
        EXPECT_EQ(got, row.got);
        EXPECT_EQ(server.carriedOut.back(), row.sent);
        EXPECT_EQ(kvr_last_outcome(&link)->announcements, 1u);
    }
    EXPECT_EQ(server.carriedOut.size(), std::size(rows)) << "one request each";
    std::uint32_t untouched = 7;
    EXPECT_EQ(kvr_model_id(&link, 16, &untouched), KVR_INVALID_ARGUMENT);
    EXPECT_EQ(kvr_set_core(&link, -1), KVR_INVALID_ARGUMENT);
    EXPECT_EQ(untouched, 7u);
    EXPECT_EQ(server.carriedOut.size(), std::size(rows)) << "nothing sent for a bad argument";
}

TEST_F(KitAgainstServer, TimeoutsTakeTheConfiguredWaitsAndNoMore) {
    port.notificationsLost = 100;
    init();
    const RunResult lost = request(KVR_CMD_READ_CORE);
    EXPECT_EQ(lost.status, KVR_TIMED_OUT_WITHDRAWN);
    EXPECT_GE(lost.elapsedMs, 3 * config.answer_ms + config.settle_ms);
    EXPECT_LE(lost.elapsedMs, 3 * config.answer_ms + config.settle_ms + 5 * kTickMs);
    EXPECT_EQ(server.words, (Words{0x10010000, 0, KVR_MARKER})) << "a withdrawn request's words stay";
}

// A request left staged is answered by a server that is told later, and the next request of the
// kit finds it answered or still staged: either way, that answer is not taken for its own.
TEST_F(KitAgainstServer, ALeftRequestIsWithdrawnOrItsLateAnswerDiscarded) {
    config.leave_staged = true;
    port.notificationsLost = 100;
    init();
    EXPECT_EQ(request(KVR_CMD_READ_CORE).status, KVR_TIMED_OUT_STAGED);
    port.notificationsLost = 0;
    const RunResult next = request(KVR_CMD_READ_VOLTAGE);
    ASSERT_EQ(next.status, KVR_ANSWERED);
    EXPECT_TRUE(next.outcome.found_staged);
    expectTruth(KVR_CMD_READ_VOLTAGE);
    EXPECT_EQ(server.carriedOut.back()[0], 0x10070000u) << "the staged read was withdrawn, never carried out";
}

// A request found staged whose notification the server is handling just then, slowly: the kit's
// withdrawal and settling leave it the old words to finish with, not a mix of old and new.
TEST_F(KitAgainstServer, ARequestFoundStagedIsLeftToTheServerThatIsReadingIt) {
    const Words old = {0x20070320, 0x0384044C, 0x002C0000};
    server.flag = 1;
    server.words = old;
    port.beforeAccess = [&](int access) {
        if (access != 0) return;
        server.queue();
        server.advance();  // its flag read: 1
    };
    serverTick = [&] { server.advance(); };  // one register access per tick
    init();
    const RunResult run = request(KVR_CMD_READ_CORE);
    ASSERT_EQ(run.status, KVR_ANSWERED);
    EXPECT_TRUE(run.outcome.found_staged);
    expectTruth(KVR_CMD_READ_CORE);
    ASSERT_EQ(server.carriedOut.size(), 2u);
    EXPECT_EQ(server.carriedOut[0], old);
}

// The server read the flag just before the kit withdrew its request, and answers during the settle.
TEST_F(KitAgainstServer, AnAnswerThatComesWhileWithdrawingIsTaken) {
    bool stopped = true;
    serverTick = [&] {
        if (!stopped) server.runAll();
    };
    port.beforeAccess = [&](int) {
        // the withdrawal's flag write: the server wakes and reads the flag (1) first
        if (stopped && server.pending() == 3 && server.flag == 1 &&
            port.clock >= 1000 + 3 * config.answer_ms) {
            server.advance();
            stopped = false;
        }
    };
    init();
    const RunResult run = request(KVR_CMD_READ_VOLTAGE);
    EXPECT_EQ(run.status, KVR_ANSWERED);
    EXPECT_TRUE(run.outcome.late);
    expectTruth(KVR_CMD_READ_VOLTAGE);
}

// One late notification, its handling starting before any one of the kit's register accesses and
// running either all at once or one access of its own between each two of the kit's. Whatever the
// point, the kit's result is the right answer or a status that says nothing was taken.
TEST_F(KitAgainstServer, OneLateNotificationAnywhereNeverPassesForAnAnswer) {
    for (kvr_command command : {KVR_CMD_READ_CORE, KVR_CMD_READ_VOLTAGE, KVR_CMD_READ_ALL, KVR_CMD_SET_CORE,
                                KVR_CMD_BOARD_WORD, KVR_CMD_CARD_COUNT}) {
        for (bool spread : {false, true}) {
            for (int start = 0; start < 22; ++start) {  // a request's 22 accesses: check, stage, poll, words
                SCOPED_TRACE("command " + std::to_string(command) + (spread ? " spread" : " whole") +
                             " from access " + std::to_string(start));
                server = ServerSide{};
                port = Port(server);
                port.beforeAccess = [&, start, spread](int access) {
                    if (access == start) server.queue();  // the late one, queued ahead of the kit's own
                    if (access < start || server.pending() == 0) return;
                    if (spread)
                        server.advance();
                    else
                        while (server.pending() > 0 && server.advance()) {
                        }
                };
                serverTick = [&] { server.runAll(); };
                init();
                kvr_expect_late(&link);  // as a give-up before it would have said
                const RunResult run = request(command);
                ASSERT_GT(port.accesses, start) << "the late notification came within the request";
                ASSERT_TRUE(run.status == KVR_ANSWERED || run.status == KVR_ERROR_ANSWER)
                    << kvr_status_text(run.status);
                if (run.status == KVR_ANSWERED) expectTruth(command);
            }
        }
    }
}

// A server stopped past the bound: the kit withdrew its request, and the three notifications it
// announced are handled while the next request is under way, from any one of its register accesses
// on. The next request ends within its bound; a set is taken as answered only when the server carried
// it out as sent; a read takes its own answer, or 0 0 0 (what remains: two error answers rewrote its
// staged word 0, once in each of its two attempts).
TEST_F(KitAgainstServer, QueuedNotificationsAfterAWithdrawalNeverPassForASetsAnswer) {
    const kvr_values values = {800, 900, 1100, 44};
    for (kvr_command command : {KVR_CMD_SET_CORE, KVR_CMD_SET_ALL, KVR_CMD_READ_CORE, KVR_CMD_READ_ALL}) {
        for (bool spread : {false, true}) {
            for (int start = 0; start < 30; ++start) {
                SCOPED_TRACE("command " + std::to_string(command) + (spread ? " spread" : " whole") +
                             " from access " + std::to_string(start));
                server = ServerSide{};
                port = Port(server);
                serverTick = [] {};  // stopped
                init();
                ASSERT_EQ(request(KVR_CMD_READ_VOLTAGE).status, KVR_TIMED_OUT_WITHDRAWN);
                ASSERT_EQ(server.pending(), 3);
                const int first = port.accesses + start;
                port.beforeAccess = [&, first, spread](int access) {
                    if (access < first) return;
                    if (spread)
                        server.advance();
                    else
                        server.runAll();
                };
                serverTick = [&] { server.runAll(); };
                const RunResult run = request(command, 0, values);
                const Words sent = {run.outcome.request[0], run.outcome.request[1], run.outcome.request[2]};
                if (command == KVR_CMD_SET_CORE || command == KVR_CMD_SET_ALL) {
                    ASSERT_TRUE(run.status == KVR_ANSWERED || run.status == KVR_ERROR_ANSWER ||
                                run.status == KVR_MISMATCHED_ANSWER)
                        << kvr_status_text(run.status);
                    if (run.status == KVR_ANSWERED) {
                        EXPECT_NE(std::find(server.carriedOut.begin(), server.carriedOut.end(), sent),
                                  server.carriedOut.end())
                            << "answered, but never carried out as sent";
                    }
                } else {
                    ASSERT_TRUE(run.status == KVR_ANSWERED || run.status == KVR_ERROR_ANSWER)
                        << kvr_status_text(run.status);
                    const Words answer = {run.outcome.answer[0], run.outcome.answer[1],
                                          run.outcome.answer[2]};
                    if (run.status == KVR_ANSWERED && answer != Words{0, 0, 0}) expectTruth(command);
                }
            }
        }
    }
}

TEST_F(KitAgainstServer, EveryConfigurationEndsWithinItsBound) {
    for (unsigned announcements : {1u, 2u, 16u})
        for (bool viaFlag : {false, true})
            for (bool leave : {false, true}) {
                SCOPED_TRACE(std::to_string(announcements) + (viaFlag ? " via flag" : "") +
                             (leave ? " left" : ""));
                server = ServerSide{};
                port = Port(server);
                port.notificationsLost = 1000;
                port.announcesOnFlagWrite = viaFlag;
                config.announcements = announcements;
                config.answer_ms = 50;
                config.leave_staged = leave;
                init();
                // Withdrawn between announcements, a port without notify leaves the flag 0 for the next.
                const RunResult run = request(KVR_CMD_READ_CORE);
                EXPECT_EQ(run.status, leave ? KVR_TIMED_OUT_STAGED : KVR_TIMED_OUT_WITHDRAWN);
                EXPECT_LE(run.elapsedMs, kvr_bound_ms(&link) + kTickMs);
            }
    kvr_config bad = config;
    bad.announcements = 17;
    const kvr_transport t = {&port, Port::read, Port::write, nullptr, Port::now, nullptr};
    EXPECT_EQ(kvr_init(&link, &t, &bad), KVR_INVALID_ARGUMENT);
    bad = config;
    bad.answer_ms = 0;
    EXPECT_EQ(kvr_init(&link, &t, &bad), KVR_INVALID_ARGUMENT);
}

TEST_F(KitAgainstServer, ARawRequestNobodyAnswersTimesOutWithItsWordsAsStaged) {
    port.notificationsLost = 1000;
    config.answer_ms = 50;
    init();
    const Words staged{0x20070320, 0x0384044C, 0x002C0000};
    ASSERT_EQ(kvr_begin_raw(&link, staged.data()), KVR_PENDING);
    EXPECT_EQ(finish().status, KVR_TIMED_OUT_WITHDRAWN);
    EXPECT_EQ(server.words, staged);
    EXPECT_TRUE(server.carriedOut.empty());
}

TEST_F(KitAgainstServer, AFanOnlySetSendsBackTheValuesItRead) {
    init();
    ASSERT_EQ(kvr_begin_fan_only(&link, 70), KVR_PENDING);
    EXPECT_EQ(kvr_begin(&link, KVR_CMD_READ_CORE, 0, nullptr), KVR_BUSY);
    const RunResult run = finish(3);
    ASSERT_EQ(run.status, KVR_ANSWERED);
    EXPECT_EQ(server.carriedOut.back(),
              (Words{0x200702F8, KVR_HALVES(950, 1075), KVR_HALVES(70, KVR_MARKER)}))
        << "core and memory of read all, the voltage of read 7";
    kvr_reading sent{};
    ASSERT_EQ(kvr_reading_of(&link, &sent), KVR_OK);
    EXPECT_EQ(sent.fan, 70u);
    EXPECT_EQ(kvr_begin_fan_only(&link, 65536), KVR_INVALID_ARGUMENT);
}

TEST_F(KitAgainstServer, TheDefaultsWindowCountsFromWhatTheKitCanSee) {
    config.defaults_window_ms = 20000;
    init();
    EXPECT_EQ(kvr_defaults_remaining_ms(&link), 20000u) << "no server seen yet";
    server.words = {};
    ASSERT_EQ(request(KVR_CMD_CARD_COUNT).status, KVR_ANSWERED);
    port.clock += 5000;
    EXPECT_EQ(kvr_defaults_remaining_ms(&link), 15000u);
    // A request that got no answer: the server may have restarted; the next answer starts it over.
    port.notificationsLost = 3;
    ASSERT_EQ(request(KVR_CMD_READ_CORE).status, KVR_TIMED_OUT_WITHDRAWN);
    EXPECT_EQ(kvr_defaults_remaining_ms(&link), 20000u);
    ASSERT_EQ(request(KVR_CMD_READ_CORE).status, KVR_ANSWERED);
    port.clock += 30000;
    EXPECT_EQ(kvr_defaults_remaining_ms(&link), 0u);
    // Answered only when announced again: the first announcement may have found no server yet.
    port.notificationsLost = 1;
    ASSERT_EQ(request(KVR_CMD_READ_CORE).status, KVR_ANSWERED);
    EXPECT_EQ(kvr_defaults_remaining_ms(&link), 20000u);
    port.clock += 30000;
    EXPECT_EQ(kvr_defaults_remaining_ms(&link), 0u);
    port.clock += 0x80000000u;  // far on: the window does not come back with the clock's wrap
    EXPECT_EQ(kvr_defaults_remaining_ms(&link), 0u);
}

TEST_F(KitAgainstServer, ACardCountThatComesUpFromZeroStartsTheWindowOver) {
    init();
    // A start-up report is up: information requests answer 0 0 0.
    server.answers = [](const Words&) { return Words{0, 0, 0}; };
    ASSERT_EQ(request(KVR_CMD_CARD_COUNT).status, KVR_ANSWERED);
    EXPECT_EQ(kvr_last_outcome(&link)->answer[0], 0u);
    port.clock += 19000;
    EXPECT_LT(kvr_defaults_remaining_ms(&link), 2000u);
    server.answers = answerOf;
    ASSERT_EQ(request(KVR_CMD_CARD_COUNT).status, KVR_ANSWERED);
    EXPECT_GE(kvr_defaults_remaining_ms(&link), 20000u - kTickMs) << "the back end has just become active";
}

TEST_F(KitAgainstServer, LateNotificationsAreReckonedWithForTheHorizonOnly) {
    config.late_horizon_ms = 10000;
    init();
    EXPECT_FALSE(kvr_late_possible(&link));
    port.notificationsLost = 1;
    ASSERT_EQ(request(KVR_CMD_READ_CORE).status, KVR_ANSWERED);
    EXPECT_TRUE(kvr_late_possible(&link)) << "announced twice: one notification is left over";
    port.clock += 10000;
    EXPECT_FALSE(kvr_late_possible(&link));
}

TEST_F(KitAgainstServer, TheStateHasItsStatedSize) {
    EXPECT_EQ(sizeof(kvr_link),
              sizeof(void*) == 4 ? std::size_t{KVR_LINK_SIZE_32} : std::size_t{KVR_LINK_SIZE_64});
    init();
    EXPECT_EQ(kvr_step(&link), KVR_OK) << "an idle link has nothing pending";
}

}  // namespace
