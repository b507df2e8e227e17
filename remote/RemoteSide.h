/* The remote side of the Kelvane remote link: a kit for the second machine's firmware.
 *
 * C99 and freestanding: no allocation, no threads, no operating-system calls, no globals, nothing
 * beyond <stdint.h>, <stddef.h> and <stdbool.h>. A firmware takes RemoteSide.h, RemoteSide.c and
 * LinkWire.h as they are. All state lives in a kvr_link that the caller owns: sizeof(kvr_link) is
 * KVR_LINK_SIZE_32 bytes where pointers have 32 bits and KVR_LINK_SIZE_64 where they have 64.
 *
 * What it does: it builds and checks the request words of the three command tables, stages a
 * request in the port's registers, has it announced, waits for the server's answer with every wait
 * bounded, recognises the error answer and answers that cannot be the request's, announces again or
 * withdraws by a policy that always ends, and takes the answer words apart.
 *
 * Contexts. The word functions (kvr_encode, kvr_decode, kvr_command_of, kvr_status_text) are pure
 * and may run anywhere, in an interrupt handler too. Everything that takes a kvr_link must run in
 * one context at a time for that link (the main loop, or one timer); none of it is safe against
 * itself re-entered from an interrupt. The transport's functions are called only from those calls.
 *
 * The recovery policy, in short (docs/protocol.md, "The remote side's rules", says why each holds):
 * - Start of every request: the flag is read. A flag that is not 0 is a request left staged (by
 *   this side before a restart, or by a request left staged on purpose): it is withdrawn (flag 0),
 *   and the kit waits settle_ms before it touches the words, so that a server that is just reading
 *   that request finishes with it first. Whatever the words hold then is discarded.
 * - Staging: words 1, 2 and 0 are written and read back (written again, up to three times, if they
 *   did not stay), then the flag is written 1 and read back, then the request is announced. Word 2
 *   carries KVR_MARKER in its unused bits 15..0: a real answer writes word 2, the error answer
 *   leaves it.
 * - Waiting: up to answer_ms for the flag to read 0. Then the request is announced again (the
 *   flag stays 1; only the notification is raised again), up to `announcements` announcements in
 *   all. A port that raises the notification only with the flag write is announced again by
 *   withdrawing, waiting settle_ms and staging afresh.
 * - After the last wait: the request is withdrawn (flag 0) and, settle_ms later, the words are
 *   read once more: an answer that came meanwhile is taken (outcome.late); otherwise the status is
 *   KVR_TIMED_OUT_WITHDRAWN, and no later notification can carry the request out. With leave_staged
 *   the flag stays 1 instead (KVR_TIMED_OUT_STAGED): a server that is told later still answers it,
 *   and the next request withdraws it first.
 * - Answers: words 1 and 2 as staged and word 0 the error word (or as staged) is the error answer:
 *   the server found no request and carried nothing out (KVR_ERROR_ANSWER). A set answers 1 in word
 *   0 (the error word there means a late error answer wrote over the 1 after the answer: the set was
 *   carried out). An answer is doubtful when its value word holds the error word or the request's
 *   own word, or when it is 0 0 0 while late notifications may come; a doubtful answer, and a set
 *   answered with anything but 1, is asked again once. A set answered so twice is
 *   KVR_MISMATCHED_ANSWER: the server carried out something else (its word 0 was rewritten).
 * - Late notifications may come from the time the kit announces a request a second time, gives a
 *   request up, or finds one staged, until late_horizon_ms later.
 * Every request ends: kvr_bound_ms gives the longest one can take, counted on the transport's
 * clock, plus one stepping period for each wait when the caller steps slower than the clock.
 */
#ifndef KELVANE_REMOTE_SIDE_H
#define KELVANE_REMOTE_SIDE_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "LinkWire.h"

#ifdef __cplusplus
extern "C" {
#endif

#define KVR_VERSION_MAJOR 1
#define KVR_VERSION_MINOR 0
#define KVR_VERSION_PATCH 0
#define KVR_VERSION (KVR_VERSION_MAJOR * 10000 + KVR_VERSION_MINOR * 100 + KVR_VERSION_PATCH)

#define KVR_LINK_SIZE_32 124
#define KVR_LINK_SIZE_64 152

/* Put into word 2's bits 15..0 of every request the kit builds; no command reads them. */
#define KVR_MARKER UINT32_C(0x5A5A)

typedef enum kvr_status {
    KVR_PENDING = 0,         /* the request goes on: call kvr_step again */
    KVR_OK,                  /* a word function or kvr_init did what was asked */
    KVR_ANSWERED,            /* the server answered this request */
    KVR_ERROR_ANSWER,        /* the flag cleared but no answer was written: nothing was carried out */
    KVR_MISMATCHED_ANSWER,   /* an answer that is not this request's: not carried out as sent */
    KVR_TIMED_OUT_STAGED,    /* no answer within the bound; the flag is left at 1 (leave_staged) */
    KVR_TIMED_OUT_WITHDRAWN, /* no answer within the bound; the request is withdrawn */
    KVR_TRANSPORT_FAILURE,   /* a register access or the notification failed, or a write did not hold */
    KVR_INVALID_ARGUMENT,    /* nothing was sent */
    KVR_BUSY                 /* another request of this link is still going on */
} kvr_status;

/* A short English phrase for a status, for logs. */
const char* kvr_status_text(kvr_status status);

/* Every row of the three tables, as group * 16 + command; KVR_CMD_PING is set command 0, which has
 * no row and answers 1 0 0 from any server that handles it. */
#define KVR_COMMAND_ID(group, number) ((group)*16u + (number))
typedef enum kvr_command {
    KVR_CMD_CARD_COUNT = KVR_COMMAND_ID(KVR_GROUP_INFORMATION, KVR_INFO_CARD_COUNT),
    KVR_CMD_MODEL_ID = KVR_COMMAND_ID(KVR_GROUP_INFORMATION, KVR_INFO_MODEL_ID),
    KVR_CMD_ANSWERS_ONE = KVR_COMMAND_ID(KVR_GROUP_INFORMATION, KVR_INFO_ANSWERS_ONE),
    KVR_CMD_CAPABILITY = KVR_COMMAND_ID(KVR_GROUP_INFORMATION, KVR_INFO_CAPABILITY),
    KVR_CMD_CARD_COUNT_SECOND_FORM = KVR_COMMAND_ID(KVR_GROUP_INFORMATION, KVR_INFO_CARD_COUNT_SECOND_FORM),
    KVR_CMD_ANSWERS_ONE_SECOND_FORM = KVR_COMMAND_ID(KVR_GROUP_INFORMATION, KVR_INFO_ANSWERS_ONE_SECOND_FORM),
    KVR_CMD_BOARD_WORD = KVR_COMMAND_ID(KVR_GROUP_INFORMATION, KVR_INFO_BOARD_WORD),
    KVR_CMD_READ_CORE = KVR_COMMAND_ID(KVR_GROUP_READ, KVR_READ_CORE_CURRENT),
    KVR_CMD_READ_CORE_RANGE = KVR_COMMAND_ID(KVR_GROUP_READ, KVR_READ_CORE_RANGE),
    KVR_CMD_READ_MEMORY = KVR_COMMAND_ID(KVR_GROUP_READ, KVR_READ_MEMORY_CURRENT),
    KVR_CMD_READ_MEMORY_RANGE = KVR_COMMAND_ID(KVR_GROUP_READ, KVR_READ_MEMORY_RANGE),
    KVR_CMD_READ_CORE_DEFAULT = KVR_COMMAND_ID(KVR_GROUP_READ, KVR_READ_CORE_DEFAULT),
    KVR_CMD_READ_MEMORY_DEFAULT = KVR_COMMAND_ID(KVR_GROUP_READ, KVR_READ_MEMORY_DEFAULT),
    KVR_CMD_READ_VOLTAGE = KVR_COMMAND_ID(KVR_GROUP_READ, KVR_READ_VOLTAGE_CURRENT),
    KVR_CMD_READ_VOLTAGE_RANGE = KVR_COMMAND_ID(KVR_GROUP_READ, KVR_READ_VOLTAGE_RANGE),
    KVR_CMD_READ_VOLTAGE_DEFAULT = KVR_COMMAND_ID(KVR_GROUP_READ, KVR_READ_VOLTAGE_DEFAULT),
    KVR_CMD_READ_ALL = KVR_COMMAND_ID(KVR_GROUP_READ, KVR_READ_ALL_CURRENT),
    KVR_CMD_PING = KVR_COMMAND_ID(KVR_GROUP_SET, 0u),
    KVR_CMD_SET_CORE = KVR_COMMAND_ID(KVR_GROUP_SET, KVR_SET_CORE_OF_CARD0),
    KVR_CMD_SET_MEMORY = KVR_COMMAND_ID(KVR_GROUP_SET, KVR_SET_MEMORY_OF_CARD0),
    KVR_CMD_SET_VOLTAGE = KVR_COMMAND_ID(KVR_GROUP_SET, KVR_SET_VOLTAGE_OF_CARD0),
    KVR_CMD_SET_CORE_EVERY = KVR_COMMAND_ID(KVR_GROUP_SET, KVR_SET_CORE_OF_EVERY_CARD),
    KVR_CMD_SET_MEMORY_EVERY = KVR_COMMAND_ID(KVR_GROUP_SET, KVR_SET_MEMORY_OF_EVERY_CARD),
    KVR_CMD_SET_VOLTAGE_EVERY = KVR_COMMAND_ID(KVR_GROUP_SET, KVR_SET_VOLTAGE_OF_EVERY_CARD),
    KVR_CMD_SET_ALL = KVR_COMMAND_ID(KVR_GROUP_SET, KVR_SET_ALL)
} kvr_command;

/* The values a set sends, each 0 to 65535 where the command uses it (memory on the link's scale:
 * the server doubles it for the back end). Fields a command does not use are not sent. */
typedef struct kvr_values {
    int32_t core, memory, voltage, fan;
} kvr_values;

typedef enum kvr_shape {
    KVR_SHAPE_DONE,  /* a set: value is A0, 1 */
    KVR_SHAPE_VALUE, /* one value: value */
    KVR_SHAPE_RANGE, /* minimum (low half) and maximum (high half) of one word */
    KVR_SHAPE_ALL,   /* core, memory, voltage, fan (read all; and what a fan-only set sent) */
    KVR_SHAPE_BOARD  /* cards, model, version of the board word */
} kvr_shape;

typedef struct kvr_reading {
    kvr_shape shape;
    uint32_t value;
    uint32_t minimum, maximum;
    uint32_t core, memory, voltage, fan;
    uint32_t cards, model, version;
} kvr_reading;

/* The request words of a command: KVR_INVALID_ARGUMENT for a command without a row (ping aside),
 * a card index outside 0 to 15 (information command 2), or a value the command uses outside 0 to
 * 65535. Word 2 carries KVR_MARKER. */
kvr_status kvr_encode(kvr_command command, int32_t card, const kvr_values* values,
                      uint32_t words[KVR_WORD_COUNT]);

/* The answer of a command taken apart. A board word other than 0 whose fixed bits (27..24 = 1,
 * 7..0 = 0x10) are not there (a model or version above 255 spills into them) is
 * KVR_MISMATCHED_ANSWER. Only the words the command's row names are read. */
kvr_status kvr_decode(kvr_command command, const uint32_t answer[KVR_WORD_COUNT], kvr_reading* reading);

/* The command of a request word 0, if it has a row (or is the ping). */
kvr_status kvr_command_of(uint32_t word0, kvr_command* command);

/* The port as the kit sees it. read_register and write_register reach one whole 32-bit register:
 * KVR_FLAG_REGISTER, KVR_SELECTOR_REGISTER or KVR_DATA_REGISTER (the word the selector chose); they
 * return false when the access failed. notify has the platform service announce the staged request
 * to the server (false: it could not be raised); leave it NULL where the port raises the notification
 * itself when the flag is written. now_ms is a free-running millisecond clock, which may wrap at 2^32.
 * pause, if not NULL, is called by kvr_wait between polls with the time the current wait has lasted,
 * to yield or sleep; the stepping functions never call it. */
typedef struct kvr_transport {
    void* context;
    bool (*read_register)(void* context, uint32_t register_id, uint32_t* value);
    bool (*write_register)(void* context, uint32_t register_id, uint32_t value);
    bool (*notify)(void* context);
    uint32_t (*now_ms)(void* context);
    void (*pause)(void* context, uint32_t waited_ms);
} kvr_transport;

/* The bounds. Defaults (kvr_default_config): answer_ms 2000, announcements 3, settle_ms 200,
 * late_horizon_ms 60000, defaults_window_ms 20000, leave_staged false. */
typedef struct kvr_config {
    uint32_t answer_ms;          /* 1 to 3,600,000: wait for the flag after each announcement */
    uint32_t announcements;      /* 1 to 16: announcements of one request before it is given up */
    uint32_t settle_ms;          /* 0 to 60,000: after a withdrawal, before the words are touched */
    uint32_t late_horizon_ms;    /* 0 to 86,400,000: how long late notifications are reckoned with */
    uint32_t defaults_window_ms; /* 0 to 86,400,000: see kvr_defaults_remaining_ms */
    bool leave_staged;           /* after the last wait: leave the flag at 1 instead of withdrawing */
} kvr_config;

void kvr_default_config(kvr_config* config);

/* How the last request ended, beyond its status. */
typedef struct kvr_outcome {
    kvr_status status;
    uint32_t request[KVR_WORD_COUNT]; /* the words staged last */
    uint32_t answer[KVR_WORD_COUNT];  /* the words read once the flag cleared (else 0 0 0) */
    uint8_t announcements;            /* of the last attempt */
    uint8_t attempts;                 /* 2 when a doubtful answer was asked again */
    bool found_staged;                /* a request was found staged and withdrawn first */
    bool late;                        /* the answer came after the last wait, while withdrawing */
} kvr_outcome;

/* The kit's state: allocate it, hand it to kvr_init, and leave its fields to the kit. */
typedef struct kvr_link {
    kvr_transport transport;
    kvr_config config;
    kvr_outcome outcome;
    kvr_values fan_only; /* a fan-only set: the values read so far and the fan */
    uint32_t phase_since_ms;
    uint32_t late_since_ms;
    uint32_t server_since_ms;
    uint32_t last_card_count;
    uint8_t phase;
    uint8_t operation;
    uint8_t command;
    uint8_t step;
    bool raw;
    bool late_possible;
    bool server_seen;
    bool defaults_over;
    bool card_count_known;
} kvr_link;

/* Checks the transport (every function but notify and pause required) and the configuration (NULL:
 * the defaults) and makes the link idle. */
kvr_status kvr_init(kvr_link* link, const kvr_transport* transport, const kvr_config* config);

/* The longest one request can take from its kvr_begin to the kvr_step that returns its result. */
uint32_t kvr_bound_ms(const kvr_link* link);

/* Starting a request: KVR_PENDING, or KVR_BUSY, or KVR_INVALID_ARGUMENT (nothing sent). */
kvr_status kvr_begin(kvr_link* link, kvr_command command, int32_t card, const kvr_values* values);
/* Three words sent as they are: no marker is added, and the answer is not judged beyond the error
 * answer (which a raw request recognises only if its words 1 and 2 differ from any real answer). */
kvr_status kvr_begin_raw(kvr_link* link, const uint32_t words[KVR_WORD_COUNT]);
/* A set-all that changes only the fan: read all (core, memory), read voltage (command 7, not read
 * all's voltage, which may be an earlier set-all's), then set all with the fan. Three requests,
 * so up to three times kvr_bound_ms. A memory clock the record holds odd comes back one lower. */
kvr_status kvr_begin_fan_only(kvr_link* link, int32_t fan);

/* Does what can be done now and returns KVR_PENDING, or the request's result. Never blocks. */
kvr_status kvr_step(kvr_link* link);

/* After KVR_ANSWERED: the answer taken apart (not for raw requests). */
kvr_status kvr_reading_of(const kvr_link* link, kvr_reading* reading);
const kvr_outcome* kvr_last_outcome(const kvr_link* link);

/* Late notifications: whether they may come now (see the policy), and a way to say so, for a
 * remote side that restarts soon after it gave a request up and kept no kvr_link. */
bool kvr_late_possible(kvr_link* link);
void kvr_expect_late(kvr_link* link);

/* How long the server's start-up defaults may still overwrite what a set sends, as far as the
 * remote side can know: defaults_window_ms counted from the first answer after kvr_init, after a
 * request that got no answer or needed more than one announcement (the server may have restarted),
 * or after the card count came back above 0 having been 0 (a start-up report was closed and the
 * card back end has just become active). defaults_window_ms while no server has answered yet. */
uint32_t kvr_defaults_remaining_ms(kvr_link* link);

/* Blocking convenience for hosts that can wait: steps until the result, calling transport.pause
 * between polls. */
kvr_status kvr_wait(kvr_link* link);
kvr_status kvr_request(kvr_link* link, kvr_command command, int32_t card, const kvr_values* values,
                       kvr_reading* reading);
kvr_status kvr_raw(kvr_link* link, const uint32_t words[KVR_WORD_COUNT], uint32_t answer[KVR_WORD_COUNT]);

/* One call per command, blocking. */
kvr_status kvr_ping(kvr_link* link);
kvr_status kvr_card_count(kvr_link* link, uint32_t* count);
kvr_status kvr_model_id(kvr_link* link, int32_t card, uint32_t* model);
kvr_status kvr_capability(kvr_link* link, uint32_t* capability);
kvr_status kvr_board_word(kvr_link* link, uint32_t* cards, uint32_t* model, uint32_t* version);
kvr_status kvr_read_core(kvr_link* link, uint32_t* core);
kvr_status kvr_read_core_range(kvr_link* link, uint32_t* minimum, uint32_t* maximum);
kvr_status kvr_read_core_default(kvr_link* link, uint32_t* core);
kvr_status kvr_read_memory(kvr_link* link, uint32_t* memory);
kvr_status kvr_read_memory_range(kvr_link* link, uint32_t* minimum, uint32_t* maximum);
kvr_status kvr_read_memory_default(kvr_link* link, uint32_t* memory);
kvr_status kvr_read_voltage(kvr_link* link, uint32_t* voltage);
kvr_status kvr_read_voltage_range(kvr_link* link, uint32_t* minimum, uint32_t* maximum);
kvr_status kvr_read_voltage_default(kvr_link* link, uint32_t* voltage);
kvr_status kvr_read_all(kvr_link* link, kvr_reading* current);
kvr_status kvr_set_core(kvr_link* link, int32_t core);
kvr_status kvr_set_memory(kvr_link* link, int32_t memory);
kvr_status kvr_set_voltage(kvr_link* link, int32_t voltage);
kvr_status kvr_set_core_every(kvr_link* link, int32_t core);
kvr_status kvr_set_memory_every(kvr_link* link, int32_t memory);
kvr_status kvr_set_voltage_every(kvr_link* link, int32_t voltage);
kvr_status kvr_set_all(kvr_link* link, const kvr_values* values);
kvr_status kvr_set_fan_only(kvr_link* link, int32_t fan);

#ifdef __cplusplus
}
#endif

#endif
