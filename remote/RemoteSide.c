/* The remote side's kit: words, the request state machine and its recovery policy (RemoteSide.h). */
#include "RemoteSide.h"

enum phase {
    PHASE_IDLE,
    PHASE_CHECK,        /* read the flag before staging */
    PHASE_SETTLE_IN,    /* a request found staged was withdrawn: let a server finish with it */
    PHASE_STAGE,        /* words, read back, flag, read back, announcement */
    PHASE_WAIT,         /* for the flag to read 0 */
    PHASE_SETTLE_AGAIN, /* withdrawn to be staged afresh (a port that announces on the flag write) */
    PHASE_SETTLE_OUT    /* withdrawn for good: a last look at the words */
};

enum operation { OPERATION_SINGLE, OPERATION_FAN_ONLY };

/* The steps of a fan-only set. */
enum { FAN_READ_ALL, FAN_READ_VOLTAGE, FAN_SET_ALL };

enum verdict { VERDICT_ANSWERED, VERDICT_UNANSWERED, VERDICT_ASK_AGAIN, VERDICT_MISMATCHED };

#define STAGINGS 3 /* a request whose words do not stay after this many writes is a transport failure */
#define MAX_ANSWER_MS UINT32_C(3600000)
#define MAX_ANNOUNCEMENTS 16u
#define MAX_SETTLE_MS UINT32_C(60000)
#define MAX_WINDOW_MS UINT32_C(86400000)
#define ATTEMPTS 2u /* a doubtful answer is asked once more */

/* Which words of the answer a command fills, as bits 0 to 2. */
#define IN_A0 1u
#define IN_A1 2u
#define IN_A2 4u

/* ---- the words ---- */

static uint32_t group_of(kvr_command command) { return (uint32_t)command >> 4; }
static uint32_t number_of(kvr_command command) { return (uint32_t)command & KVR_NIBBLE_MASK; }

/* The shape of a command's answer and the words it fills; false for a command without a row. */
static bool row_of(kvr_command command, kvr_shape* shape, unsigned* words) {
    switch (command) {
        case KVR_CMD_CARD_COUNT:
        case KVR_CMD_MODEL_ID:
        case KVR_CMD_ANSWERS_ONE:
        case KVR_CMD_CAPABILITY:
        case KVR_CMD_CARD_COUNT_SECOND_FORM:
        case KVR_CMD_ANSWERS_ONE_SECOND_FORM:
        case KVR_CMD_READ_CORE:
        case KVR_CMD_READ_CORE_DEFAULT:
            *shape = KVR_SHAPE_VALUE;
            *words = IN_A0;
            return true;
        case KVR_CMD_READ_MEMORY:
        case KVR_CMD_READ_MEMORY_DEFAULT:
            *shape = KVR_SHAPE_VALUE;
            *words = IN_A1;
            return true;
        case KVR_CMD_READ_VOLTAGE:
        case KVR_CMD_READ_VOLTAGE_DEFAULT:
            *shape = KVR_SHAPE_VALUE;
            *words = IN_A2;
            return true;
        case KVR_CMD_READ_CORE_RANGE:
            *shape = KVR_SHAPE_RANGE;
            *words = IN_A0;
            return true;
        case KVR_CMD_READ_MEMORY_RANGE:
            *shape = KVR_SHAPE_RANGE;
            *words = IN_A1;
            return true;
        case KVR_CMD_READ_VOLTAGE_RANGE:
            *shape = KVR_SHAPE_RANGE;
            *words = IN_A2;
            return true;
        case KVR_CMD_READ_ALL:
            *shape = KVR_SHAPE_ALL;
            *words = IN_A0 | IN_A1 | IN_A2;
            return true;
        case KVR_CMD_BOARD_WORD:
            *shape = KVR_SHAPE_BOARD;
            *words = IN_A0;
            return true;
        case KVR_CMD_PING:
        case KVR_CMD_SET_CORE:
        case KVR_CMD_SET_MEMORY:
        case KVR_CMD_SET_VOLTAGE:
        case KVR_CMD_SET_CORE_EVERY:
        case KVR_CMD_SET_MEMORY_EVERY:
        case KVR_CMD_SET_VOLTAGE_EVERY:
        case KVR_CMD_SET_ALL:
            *shape = KVR_SHAPE_DONE;
            *words = IN_A0;
            return true;
    }
    return false;
}

static bool is_set(kvr_command command) { return group_of(command) == KVR_GROUP_SET; }

static bool field_fits(int32_t value) { return value >= 0 && (uint32_t)value <= KVR_MAX_FIELD_VALUE; }

const char* kvr_status_text(kvr_status status) {
    switch (status) {
        case KVR_PENDING:
            return "pending";
        case KVR_OK:
            return "ok";
        case KVR_ANSWERED:
            return "answered";
        case KVR_ERROR_ANSWER:
            return "error answer: the server found no request and carried nothing out";
        case KVR_MISMATCHED_ANSWER:
            return "the answer is not this request's: it was not carried out as sent";
        case KVR_TIMED_OUT_STAGED:
            return "no answer within the bound: the request is left staged, its flag at 1";
        case KVR_TIMED_OUT_WITHDRAWN:
            return "no answer within the bound: the request was withdrawn";
        case KVR_TRANSPORT_FAILURE:
            return "the port failed: a register access or the notification did not work";
        case KVR_INVALID_ARGUMENT:
            return "invalid argument: nothing was sent";
        case KVR_BUSY:
            return "busy: another request of this link is going on";
    }
    return "unknown status";
}

kvr_status kvr_encode(kvr_command command, int32_t card, const kvr_values* values,
                      uint32_t words[KVR_WORD_COUNT]) {
    static const kvr_values none = {0, 0, 0, 0};
    const kvr_values* v = values ? values : &none;
    kvr_shape shape;
    unsigned filled;
    uint32_t core = 0, memory = 0, voltage = 0, fan = 0, index = 0;
    if (!words || !row_of(command, &shape, &filled)) return KVR_INVALID_ARGUMENT;
    switch (command) {
        case KVR_CMD_MODEL_ID:
            if (card < 0 || (uint32_t)card > KVR_MAX_CARD_INDEX) return KVR_INVALID_ARGUMENT;
            index = (uint32_t)card;
            break;
        case KVR_CMD_SET_CORE:
        case KVR_CMD_SET_CORE_EVERY:
            if (!field_fits(v->core)) return KVR_INVALID_ARGUMENT;
            core = (uint32_t)v->core;
            break;
        case KVR_CMD_SET_MEMORY:
        case KVR_CMD_SET_MEMORY_EVERY:
            if (!field_fits(v->memory)) return KVR_INVALID_ARGUMENT;
            memory = (uint32_t)v->memory;
            break;
        case KVR_CMD_SET_VOLTAGE:
        case KVR_CMD_SET_VOLTAGE_EVERY:
            if (!field_fits(v->voltage)) return KVR_INVALID_ARGUMENT;
            voltage = (uint32_t)v->voltage;
            break;
        case KVR_CMD_SET_ALL:
            if (!field_fits(v->core) || !field_fits(v->memory) || !field_fits(v->voltage) ||
                !field_fits(v->fan))
                return KVR_INVALID_ARGUMENT;
            core = (uint32_t)v->core;
            memory = (uint32_t)v->memory;
            voltage = (uint32_t)v->voltage;
            fan = (uint32_t)v->fan;
            break;
        default:
            break;
    }
    words[0] = KVR_WORD0(group_of(command), index, number_of(command), core);
    words[1] = KVR_HALVES(memory, voltage);
    words[2] = KVR_HALVES(fan, KVR_MARKER);
    return KVR_OK;
}

static uint32_t word_of(unsigned filled, const uint32_t answer[KVR_WORD_COUNT]) {
    return filled == IN_A0 ? answer[0] : filled == IN_A1 ? answer[1] : answer[2];
}

kvr_status kvr_decode(kvr_command command, const uint32_t answer[KVR_WORD_COUNT], kvr_reading* reading) {
    static const kvr_reading empty;
    kvr_shape shape;
    unsigned filled;
    uint32_t word;
    if (!answer || !reading || !row_of(command, &shape, &filled)) return KVR_INVALID_ARGUMENT;
    *reading = empty;
    reading->shape = shape;
    word = word_of(filled, answer);
    switch (shape) {
        case KVR_SHAPE_DONE:
        case KVR_SHAPE_VALUE:
            reading->value = word;
            break;
        case KVR_SHAPE_RANGE:
            reading->minimum = KVR_LOW_HALF(word);
            reading->maximum = KVR_HIGH_HALF(word);
            break;
        case KVR_SHAPE_ALL:
            reading->core = answer[0];
            reading->memory = KVR_HIGH_HALF(answer[1]);
            reading->voltage = KVR_LOW_HALF(answer[1]);
            reading->fan = KVR_HIGH_HALF(answer[2]);
            break;
        case KVR_SHAPE_BOARD:
            /* 0 is the answer of a server without a card back end */
            if (word != 0 && (word & KVR_BOARD_FIXED_MASK) != KVR_BOARD_FIXED_BITS)
                return KVR_MISMATCHED_ANSWER;
            if (word != 0) {
                reading->cards = KVR_BOARD_COUNT(word);
                reading->model = KVR_BOARD_MODEL(word);
                reading->version = KVR_BOARD_VERSION(word);
            }
            break;
    }
    return KVR_OK;
}

kvr_status kvr_command_of(uint32_t word0, kvr_command* command) {
    const kvr_command candidate =
        (kvr_command)KVR_COMMAND_ID(KVR_WORD0_GROUP(word0), KVR_WORD0_COMMAND(word0));
    kvr_shape shape;
    unsigned filled;
    if (!command || KVR_WORD0_GROUP(word0) > KVR_GROUP_SET || !row_of(candidate, &shape, &filled))
        return KVR_INVALID_ARGUMENT;
    *command = candidate;
    return KVR_OK;
}

/* ---- the port ---- */

static uint32_t now(kvr_link* l) { return l->transport.now_ms(l->transport.context); }
/* Unsigned subtraction: right across the clock's wrap for any interval under 2^32 ms. */
static uint32_t since(kvr_link* l, uint32_t start) { return now(l) - start; }

static bool read_register(kvr_link* l, uint32_t id, uint32_t* value) {
    return l->transport.read_register(l->transport.context, id, value);
}
static bool write_register(kvr_link* l, uint32_t id, uint32_t value) {
    return l->transport.write_register(l->transport.context, id, value);
}
static bool write_word(kvr_link* l, uint32_t index, uint32_t value) {
    return write_register(l, KVR_SELECTOR_REGISTER, index) && write_register(l, KVR_DATA_REGISTER, value);
}
static bool read_word(kvr_link* l, uint32_t index, uint32_t* value) {
    return write_register(l, KVR_SELECTOR_REGISTER, index) && read_register(l, KVR_DATA_REGISTER, value);
}
static bool read_words(kvr_link* l, uint32_t words[KVR_WORD_COUNT]) {
    return read_word(l, 0, &words[0]) && read_word(l, 1, &words[1]) && read_word(l, 2, &words[2]);
}

/* ---- what the link knows between requests ---- */

static void expect_late(kvr_link* l) {
    l->late_possible = true;
    l->late_since_ms = now(l);
}

bool kvr_late_possible(kvr_link* l) {
    if (l->late_possible && since(l, l->late_since_ms) >= l->config.late_horizon_ms) l->late_possible = false;
    return l->late_possible;
}

void kvr_expect_late(kvr_link* l) { expect_late(l); }

static void server_starts_now(kvr_link* l) {
    l->server_seen = true;
    l->defaults_over = false;
    l->server_since_ms = now(l);
}

/* A request that needed a second announcement may have met a server that was not registered yet:
 * one that has just started, as far as this side can tell. */
static void server_answered(kvr_link* l) {
    if (!l->server_seen || l->outcome.announcements > 1) server_starts_now(l);
}

uint32_t kvr_defaults_remaining_ms(kvr_link* l) {
    uint32_t elapsed;
    if (!l->server_seen) return l->config.defaults_window_ms;
    if (l->defaults_over) return 0;
    elapsed = since(l, l->server_since_ms);
    if (elapsed >= l->config.defaults_window_ms) {
        l->defaults_over = true; /* latched, so that the clock's wrap cannot bring the window back */
        return 0;
    }
    return l->config.defaults_window_ms - elapsed;
}

/* A card count going from 0 to more: a start-up report was closed and the back end became active. */
static void note_card_count(kvr_link* l, const uint32_t answer[KVR_WORD_COUNT]) {
    const kvr_command command = (kvr_command)l->command;
    uint32_t count;
    if (command == KVR_CMD_CARD_COUNT || command == KVR_CMD_CARD_COUNT_SECOND_FORM)
        count = answer[0];
    else if (command == KVR_CMD_BOARD_WORD)
        count = KVR_BOARD_COUNT(answer[0]);
    else
        return;
    if (l->card_count_known && l->last_card_count == 0 && count != 0) server_starts_now(l);
    l->card_count_known = true;
    l->last_card_count = count;
}

/* ---- the request ---- */

void kvr_default_config(kvr_config* config) {
    config->answer_ms = 2000;
    config->announcements = 3;
    config->settle_ms = 200;
    config->late_horizon_ms = 60000;
    config->defaults_window_ms = 20000;
    config->leave_staged = false;
}

kvr_status kvr_init(kvr_link* link, const kvr_transport* transport, const kvr_config* config) {
    static const kvr_link idle;
    kvr_config chosen;
    if (!link || !transport || !transport->read_register || !transport->write_register || !transport->now_ms)
        return KVR_INVALID_ARGUMENT;
    if (config)
        chosen = *config;
    else
        kvr_default_config(&chosen);
    if (chosen.answer_ms == 0 || chosen.answer_ms > MAX_ANSWER_MS || chosen.announcements == 0 ||
        chosen.announcements > MAX_ANNOUNCEMENTS || chosen.settle_ms > MAX_SETTLE_MS ||
        chosen.late_horizon_ms > MAX_WINDOW_MS || chosen.defaults_window_ms > MAX_WINDOW_MS)
        return KVR_INVALID_ARGUMENT;
    *link = idle;
    link->transport = *transport;
    link->config = chosen;
    link->phase = PHASE_IDLE;
    link->outcome.status = KVR_OK; /* what stepping an idle link returns before its first request */
    return KVR_OK;
}

uint32_t kvr_bound_ms(const kvr_link* l) {
    const kvr_config* c = &l->config;
    /* one attempt: every wait, a withdrawal and settling before each fresh staging where the port
     * announces only on the flag write, and the withdrawal at the end */
    const uint32_t restagings = l->transport.notify ? 0 : c->announcements - 1;
    const uint32_t attempt = c->announcements * c->answer_ms + (restagings + 1) * c->settle_ms;
    return c->settle_ms + ATTEMPTS * attempt; /* a request found staged first; a doubtful answer */
}

static kvr_status finish(kvr_link* l, kvr_status status) {
    l->outcome.status = status;
    l->phase = PHASE_IDLE;
    return status;
}

static void start_attempt(kvr_link* l) {
    l->outcome.announcements = 0;
    l->outcome.late = false;
    l->phase = PHASE_CHECK;
}

static kvr_status start_request(kvr_link* l, const uint32_t words[KVR_WORD_COUNT], bool raw) {
    static const kvr_outcome fresh;
    l->outcome = fresh;
    l->outcome.request[0] = words[0];
    l->outcome.request[1] = words[1];
    l->outcome.request[2] = words[2];
    l->outcome.attempts = 1;
    l->raw = raw;
    start_attempt(l);
    return KVR_PENDING;
}

static kvr_status start_command(kvr_link* l, kvr_command command, int32_t card, const kvr_values* values) {
    uint32_t words[KVR_WORD_COUNT];
    const kvr_status encoded = kvr_encode(command, card, values, words);
    if (encoded != KVR_OK) return encoded;
    l->command = (uint8_t)command;
    return start_request(l, words, false);
}

kvr_status kvr_begin(kvr_link* l, kvr_command command, int32_t card, const kvr_values* values) {
    if (!l) return KVR_INVALID_ARGUMENT;
    if (l->phase != PHASE_IDLE) return KVR_BUSY;
    l->operation = OPERATION_SINGLE;
    return start_command(l, command, card, values);
}

kvr_status kvr_begin_raw(kvr_link* l, const uint32_t words[KVR_WORD_COUNT]) {
    if (!l || !words) return KVR_INVALID_ARGUMENT;
    if (l->phase != PHASE_IDLE) return KVR_BUSY;
    l->operation = OPERATION_SINGLE;
    l->command = 0;
    return start_request(l, words, true);
}

kvr_status kvr_begin_fan_only(kvr_link* l, int32_t fan) {
    if (!l || !field_fits(fan)) return KVR_INVALID_ARGUMENT;
    if (l->phase != PHASE_IDLE) return KVR_BUSY;
    l->operation = OPERATION_FAN_ONLY;
    l->step = FAN_READ_ALL;
    l->fan_only.fan = fan;
    return start_command(l, KVR_CMD_READ_ALL, 0, NULL);
}

/* Words 1 and 2 as staged, and word 0 the error word or as staged: nobody answered. */
static bool unanswered(const uint32_t staged[KVR_WORD_COUNT], const uint32_t answer[KVR_WORD_COUNT]) {
    return answer[1] == staged[1] && answer[2] == staged[2] &&
           (answer[0] == KVR_ERROR_WORD || answer[0] == staged[0]);
}

/* Whether no answer was written. A raw request's words are the caller's, without the marker:
 * only the error answer is recognised, since a real answer may leave words as they were. */
static bool nobody_answered(const kvr_link* l, const uint32_t a[KVR_WORD_COUNT]) {
    const uint32_t* s = l->outcome.request;
    if (l->raw) return a[0] == KVR_ERROR_WORD && a[1] == s[1] && a[2] == s[2];
    return unanswered(s, a);
}

static enum verdict judge(kvr_link* l, const uint32_t a[KVR_WORD_COUNT]) {
    const uint32_t* s = l->outcome.request;
    const kvr_command command = (kvr_command)l->command;
    const bool again = l->outcome.attempts < ATTEMPTS;
    kvr_shape shape;
    unsigned filled, i;
    bool doubtful = false;
    if (nobody_answered(l, a)) return VERDICT_UNANSWERED;
    if (l->raw || !row_of(command, &shape, &filled)) return VERDICT_ANSWERED;
    if (is_set(command)) {
        if (a[0] == 1 || a[0] == KVR_ERROR_WORD) return VERDICT_ANSWERED;
        return again ? VERDICT_ASK_AGAIN : VERDICT_MISMATCHED;
    }
    /* a value word that holds our own request word was not written; the error word in word 0 may
     * be a late error answer's, written over the real answer */
    for (i = 0; i < KVR_WORD_COUNT; ++i)
        if ((filled & (1u << i)) && a[i] == s[i] && s[i] != 0) doubtful = true;
    if ((filled & IN_A0) && a[0] == KVR_ERROR_WORD) doubtful = true;
    /* what a request is answered whose word 0 a late error answer rewrote before the server read it */
    if (a[0] == 0 && a[1] == 0 && a[2] == 0 && kvr_late_possible(l)) doubtful = true;
    return doubtful && again ? VERDICT_ASK_AGAIN : VERDICT_ANSWERED;
}

static kvr_status next_fan_step(kvr_link* l);

static kvr_status take_answer(kvr_link* l, const uint32_t a[KVR_WORD_COUNT]) {
    unsigned i;
    for (i = 0; i < KVR_WORD_COUNT; ++i) l->outcome.answer[i] = a[i];
    switch (judge(l, a)) {
        case VERDICT_UNANSWERED:
            server_answered(l); /* a server handled a notification; ours may still come */
            expect_late(l);
            return finish(l, KVR_ERROR_ANSWER);
        case VERDICT_ASK_AGAIN:
            server_answered(l);
            ++l->outcome.attempts;
            start_attempt(l);
            return KVR_PENDING;
        case VERDICT_MISMATCHED:
            server_answered(l);
            return finish(l, KVR_MISMATCHED_ANSWER);
        case VERDICT_ANSWERED:
            break;
    }
    server_answered(l);
    if (!l->raw) note_card_count(l, a);
    if (l->operation == OPERATION_FAN_ONLY && l->step != FAN_SET_ALL) return next_fan_step(l);
    return finish(l, KVR_ANSWERED);
}

static kvr_status next_fan_step(kvr_link* l) {
    const uint32_t* a = l->outcome.answer;
    kvr_status started;
    if (l->step == FAN_READ_ALL) {
        l->fan_only.core = (int32_t)a[0];
        l->fan_only.memory = (int32_t)KVR_HIGH_HALF(a[1]);
        l->step = FAN_READ_VOLTAGE;
        started = start_command(l, KVR_CMD_READ_VOLTAGE, 0, NULL);
    } else {
        l->fan_only.voltage = (int32_t)a[2];
        l->step = FAN_SET_ALL;
        /* a core or voltage above 65535 cannot be sent back: nothing is set */
        started = start_command(l, KVR_CMD_SET_ALL, 0, &l->fan_only);
    }
    return started == KVR_PENDING ? started : finish(l, started);
}

static void enter(kvr_link* l, enum phase phase) {
    l->phase = (uint8_t)phase;
    l->phase_since_ms = now(l);
}

/* Flag 0, read back. */
static bool withdraw(kvr_link* l) {
    uint32_t flag;
    return write_register(l, KVR_FLAG_REGISTER, KVR_FLAG_IDLE) &&
           read_register(l, KVR_FLAG_REGISTER, &flag) && flag == KVR_FLAG_IDLE;
}

static kvr_status announce(kvr_link* l) {
    if (l->transport.notify && !l->transport.notify(l->transport.context)) {
        (void)withdraw(l);
        return finish(l, KVR_TRANSPORT_FAILURE);
    }
    if (++l->outcome.announcements > 1) expect_late(l);
    enter(l, PHASE_WAIT);
    return KVR_PENDING;
}

static kvr_status stage(kvr_link* l) {
    const uint32_t* w = l->outcome.request;
    uint32_t back[KVR_WORD_COUNT], flag;
    unsigned tries;
    bool stayed = false;
    /* word 0 last, so that the flag follows its check as closely as it can */
    for (tries = 0; tries < STAGINGS && !stayed; ++tries) {
        if (!write_word(l, 1, w[1]) || !write_word(l, 2, w[2]) || !write_word(l, 0, w[0]) ||
            !read_word(l, 1, &back[1]) || !read_word(l, 2, &back[2]) || !read_word(l, 0, &back[0]))
            return finish(l, KVR_TRANSPORT_FAILURE);
        stayed = back[0] == w[0] && back[1] == w[1] && back[2] == w[2];
    }
    if (!stayed) return finish(l, KVR_TRANSPORT_FAILURE);
    if (!write_register(l, KVR_FLAG_REGISTER, KVR_FLAG_REQUEST_WAITING) ||
        !read_register(l, KVR_FLAG_REGISTER, &flag))
        return finish(l, KVR_TRANSPORT_FAILURE);
    if (flag == KVR_FLAG_REQUEST_WAITING) return announce(l);
    /* The flag reads 0 already: a late notification answered these words (they were staged with the
     * flag at 1), or its error answer cleared the flag, or the write was lost (nothing changed). */
    if (!read_words(l, back)) return finish(l, KVR_TRANSPORT_FAILURE);
    if (unanswered(w, back) && back[0] == w[0]) return finish(l, KVR_TRANSPORT_FAILURE);
    return take_answer(l, back);
}

static kvr_status give_up(kvr_link* l) {
    l->server_seen = false; /* whatever answers next may be a server that has just started */
    expect_late(l);
    if (l->config.leave_staged) return finish(l, KVR_TIMED_OUT_STAGED);
    if (!withdraw(l)) return finish(l, KVR_TRANSPORT_FAILURE);
    enter(l, PHASE_SETTLE_OUT);
    return KVR_PENDING;
}

kvr_status kvr_step(kvr_link* l) {
    uint32_t flag, words[KVR_WORD_COUNT];
    if (!l) return KVR_INVALID_ARGUMENT;
    for (;;) {
        switch ((enum phase)l->phase) {
            case PHASE_IDLE:
                return l->outcome.status;
            case PHASE_CHECK:
                if (!read_register(l, KVR_FLAG_REGISTER, &flag)) return finish(l, KVR_TRANSPORT_FAILURE);
                if (flag == KVR_FLAG_IDLE) {
                    l->phase = PHASE_STAGE;
                    break;
                }
                l->outcome.found_staged = true;
                expect_late(l);
                if (!withdraw(l)) return finish(l, KVR_TRANSPORT_FAILURE);
                enter(l, PHASE_SETTLE_IN);
                break;
            case PHASE_SETTLE_IN:
                if (since(l, l->phase_since_ms) < l->config.settle_ms) return KVR_PENDING;
                l->phase = PHASE_STAGE; /* what the words hold now is discarded */
                break;
            case PHASE_STAGE:
                return stage(l);
            case PHASE_WAIT:
                if (!read_register(l, KVR_FLAG_REGISTER, &flag)) return finish(l, KVR_TRANSPORT_FAILURE);
                if (flag == KVR_FLAG_IDLE) {
                    if (!read_words(l, words)) return finish(l, KVR_TRANSPORT_FAILURE);
                    if (take_answer(l, words) != KVR_PENDING) return l->outcome.status;
                    break;
                }
                if (since(l, l->phase_since_ms) < l->config.answer_ms) return KVR_PENDING;
                if (l->outcome.announcements >= l->config.announcements) return give_up(l);
                if (l->transport.notify) return announce(l);
                expect_late(l);
                if (!withdraw(l)) return finish(l, KVR_TRANSPORT_FAILURE);
                enter(l, PHASE_SETTLE_AGAIN);
                break;
            case PHASE_SETTLE_AGAIN:
            case PHASE_SETTLE_OUT:
                if (since(l, l->phase_since_ms) < l->config.settle_ms) return KVR_PENDING;
                if (!read_words(l, words)) return finish(l, KVR_TRANSPORT_FAILURE);
                /* The flag was ours to clear, so words left as staged are no answer, even for a
                 * raw request whose real answer might leave them so. */
                if (!unanswered(l->outcome.request, words)) {
                    /* a server was answering while the flag was withdrawn: the answer is this
                     * request's, as the words it read were */
                    l->outcome.late = true;
                    if (take_answer(l, words) != KVR_PENDING) return l->outcome.status;
                    break;
                }
                if (l->phase == PHASE_SETTLE_OUT) return finish(l, KVR_TIMED_OUT_WITHDRAWN);
                l->phase = PHASE_STAGE;
                break;
        }
    }
}

kvr_status kvr_reading_of(const kvr_link* l, kvr_reading* reading) {
    if (!l || !reading || l->raw || l->outcome.status != KVR_ANSWERED) return KVR_INVALID_ARGUMENT;
    if (l->operation == OPERATION_FAN_ONLY) {
        static const kvr_reading empty;
        *reading = empty;
        reading->shape = KVR_SHAPE_ALL;
        reading->core = (uint32_t)l->fan_only.core;
        reading->memory = (uint32_t)l->fan_only.memory;
        reading->voltage = (uint32_t)l->fan_only.voltage;
        reading->fan = (uint32_t)l->fan_only.fan;
        return KVR_OK;
    }
    if (kvr_decode((kvr_command)l->command, l->outcome.answer, reading) != KVR_OK)
        return KVR_INVALID_ARGUMENT;
    if (reading->shape == KVR_SHAPE_DONE) reading->value = 1; /* also where a late error word overwrote it */
    return KVR_OK;
}

const kvr_outcome* kvr_last_outcome(const kvr_link* l) { return &l->outcome; }

/* ---- blocking ---- */

kvr_status kvr_wait(kvr_link* l) {
    kvr_status status;
    if (!l) return KVR_INVALID_ARGUMENT;
    while ((status = kvr_step(l)) == KVR_PENDING)
        if (l->transport.pause) l->transport.pause(l->transport.context, since(l, l->phase_since_ms));
    return status;
}

static kvr_status answered_reading(kvr_link* l, kvr_status status, kvr_reading* reading) {
    kvr_status decoded;
    if (status != KVR_ANSWERED || !reading) return status;
    decoded = kvr_reading_of(l, reading);
    return decoded == KVR_OK ? KVR_ANSWERED : decoded;
}

kvr_status kvr_request(kvr_link* l, kvr_command command, int32_t card, const kvr_values* values,
                       kvr_reading* reading) {
    const kvr_status begun = kvr_begin(l, command, card, values);
    if (begun != KVR_PENDING) return begun;
    return answered_reading(l, kvr_wait(l), reading);
}

kvr_status kvr_raw(kvr_link* l, const uint32_t words[KVR_WORD_COUNT], uint32_t answer[KVR_WORD_COUNT]) {
    const kvr_status begun = kvr_begin_raw(l, words);
    kvr_status status;
    unsigned i;
    if (begun != KVR_PENDING) return begun;
    status = kvr_wait(l);
    if (answer)
        for (i = 0; i < KVR_WORD_COUNT; ++i) answer[i] = l->outcome.answer[i];
    return status;
}

static kvr_status value_of(kvr_link* l, kvr_command command, int32_t card, uint32_t* value) {
    kvr_reading r;
    const kvr_status status = kvr_request(l, command, card, NULL, &r);
    if (status == KVR_ANSWERED && value) *value = r.value;
    return status;
}

static kvr_status range_of(kvr_link* l, kvr_command command, uint32_t* minimum, uint32_t* maximum) {
    kvr_reading r;
    const kvr_status status = kvr_request(l, command, 0, NULL, &r);
    if (status == KVR_ANSWERED) {
        if (minimum) *minimum = r.minimum;
        if (maximum) *maximum = r.maximum;
    }
    return status;
}

static kvr_status set_one(kvr_link* l, kvr_command command, int32_t core, int32_t memory, int32_t voltage) {
    kvr_values v;
    v.core = core;
    v.memory = memory;
    v.voltage = voltage;
    v.fan = 0;
    return kvr_request(l, command, 0, &v, NULL);
}

kvr_status kvr_ping(kvr_link* l) { return kvr_request(l, KVR_CMD_PING, 0, NULL, NULL); }
kvr_status kvr_card_count(kvr_link* l, uint32_t* count) { return value_of(l, KVR_CMD_CARD_COUNT, 0, count); }
kvr_status kvr_model_id(kvr_link* l, int32_t card, uint32_t* model) {
    return value_of(l, KVR_CMD_MODEL_ID, card, model);
}
kvr_status kvr_capability(kvr_link* l, uint32_t* capability) {
    return value_of(l, KVR_CMD_CAPABILITY, 0, capability);
}
kvr_status kvr_board_word(kvr_link* l, uint32_t* cards, uint32_t* model, uint32_t* version) {
    kvr_reading r;
    const kvr_status status = kvr_request(l, KVR_CMD_BOARD_WORD, 0, NULL, &r);
    if (status == KVR_ANSWERED) {
        if (cards) *cards = r.cards;
        if (model) *model = r.model;
        if (version) *version = r.version;
    }
    return status;
}
kvr_status kvr_read_core(kvr_link* l, uint32_t* core) { return value_of(l, KVR_CMD_READ_CORE, 0, core); }
kvr_status kvr_read_core_range(kvr_link* l, uint32_t* minimum, uint32_t* maximum) {
    return range_of(l, KVR_CMD_READ_CORE_RANGE, minimum, maximum);
}
kvr_status kvr_read_core_default(kvr_link* l, uint32_t* core) {
    return value_of(l, KVR_CMD_READ_CORE_DEFAULT, 0, core);
}
kvr_status kvr_read_memory(kvr_link* l, uint32_t* memory) {
    return value_of(l, KVR_CMD_READ_MEMORY, 0, memory);
}
kvr_status kvr_read_memory_range(kvr_link* l, uint32_t* minimum, uint32_t* maximum) {
    return range_of(l, KVR_CMD_READ_MEMORY_RANGE, minimum, maximum);
}
kvr_status kvr_read_memory_default(kvr_link* l, uint32_t* memory) {
    return value_of(l, KVR_CMD_READ_MEMORY_DEFAULT, 0, memory);
}
kvr_status kvr_read_voltage(kvr_link* l, uint32_t* voltage) {
    return value_of(l, KVR_CMD_READ_VOLTAGE, 0, voltage);
}
kvr_status kvr_read_voltage_range(kvr_link* l, uint32_t* minimum, uint32_t* maximum) {
    return range_of(l, KVR_CMD_READ_VOLTAGE_RANGE, minimum, maximum);
}
kvr_status kvr_read_voltage_default(kvr_link* l, uint32_t* voltage) {
    return value_of(l, KVR_CMD_READ_VOLTAGE_DEFAULT, 0, voltage);
}
kvr_status kvr_read_all(kvr_link* l, kvr_reading* current) {
    return kvr_request(l, KVR_CMD_READ_ALL, 0, NULL, current);
}
kvr_status kvr_set_core(kvr_link* l, int32_t core) { return set_one(l, KVR_CMD_SET_CORE, core, 0, 0); }
kvr_status kvr_set_memory(kvr_link* l, int32_t memory) {
    return set_one(l, KVR_CMD_SET_MEMORY, 0, memory, 0);
}
kvr_status kvr_set_voltage(kvr_link* l, int32_t voltage) {
    return set_one(l, KVR_CMD_SET_VOLTAGE, 0, 0, voltage);
}
kvr_status kvr_set_core_every(kvr_link* l, int32_t core) {
    return set_one(l, KVR_CMD_SET_CORE_EVERY, core, 0, 0);
}
kvr_status kvr_set_memory_every(kvr_link* l, int32_t memory) {
    return set_one(l, KVR_CMD_SET_MEMORY_EVERY, 0, memory, 0);
}
kvr_status kvr_set_voltage_every(kvr_link* l, int32_t voltage) {
    return set_one(l, KVR_CMD_SET_VOLTAGE_EVERY, 0, 0, voltage);
}
kvr_status kvr_set_all(kvr_link* l, const kvr_values* values) {
    return kvr_request(l, KVR_CMD_SET_ALL, 0, values, NULL);
}
kvr_status kvr_set_fan_only(kvr_link* l, int32_t fan) {
    const kvr_status begun = kvr_begin_fan_only(l, fan);
    return begun == KVR_PENDING ? kvr_wait(l) : begun;
}
