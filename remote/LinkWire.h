/* The remote link's wire, stated once for both ends: the ACPI registers, the flag words, the
 * platform service's notification, the registration text, the command numbers of the three tables
 * and the layouts of the request and answer words. C99 and C++ alike; macros, so that C++ can use
 * them in constant expressions. The server, the simulated mainboard and the remote-side kit build
 * on it (C++ through protocol/RemoteLink.h). */
#ifndef KELVANE_REMOTE_LINK_WIRE_H
#define KELVANE_REMOTE_LINK_WIRE_H

#include <stdint.h>

/* ACPI device ids of the register bank. */
#define KVR_FLAG_REGISTER UINT32_C(0x13060000)
#define KVR_DATA_REGISTER UINT32_C(0x13060001)     /* reaches the word the selector chose */
#define KVR_SELECTOR_REGISTER UINT32_C(0x13060002) /* 0, 1 or 2 */
#define KVR_WORD_COUNT 3

#define KVR_FLAG_IDLE UINT32_C(0)
#define KVR_FLAG_REQUEST_WAITING UINT32_C(1)
/* Answer word 0 when the server found the flag other than 1: no request was read or carried out. */
#define KVR_ERROR_WORD UINT32_C(0x10000000)

/* The platform service's notification to the registered window: WM_USER + 8. */
#define KVR_NOTIFY_MESSAGE UINT32_C(0x0408)
#define KVR_NOTIFY_WPARAM UINT32_C(0x55)
#define KVR_NOTIFY_LPARAM UINT32_C(0xA0020000)
#define KVR_NOTIFY_LPARAM_SHORT UINT32_C(0xEC) /* handled alike */
/* The text a window registers with for the notifications (the service takes it as UTF-16). */
#define KVR_REGISTRATION_TEXT "DCA9F97F-3ED4-4b5c-A2CD-AB5C7422696C"

/* Groups, and the command numbers of each group's table. A number without a name has no row. */
#define KVR_GROUP_INFORMATION 0u
#define KVR_GROUP_READ 1u
#define KVR_GROUP_SET 2u

#define KVR_INFO_CARD_COUNT 1u
#define KVR_INFO_MODEL_ID 2u /* of the card the request's card index names */
#define KVR_INFO_ANSWERS_ONE 3u
#define KVR_INFO_CAPABILITY 4u
#define KVR_INFO_CARD_COUNT_SECOND_FORM 5u
#define KVR_INFO_ANSWERS_ONE_SECOND_FORM 6u
#define KVR_INFO_BOARD_WORD 7u

#define KVR_READ_CORE_CURRENT 1u
#define KVR_READ_CORE_RANGE 2u
#define KVR_READ_MEMORY_CURRENT 3u
#define KVR_READ_MEMORY_RANGE 4u
#define KVR_READ_CORE_DEFAULT 5u
#define KVR_READ_MEMORY_DEFAULT 6u
#define KVR_READ_VOLTAGE_CURRENT 7u
#define KVR_READ_VOLTAGE_RANGE 8u
#define KVR_READ_VOLTAGE_DEFAULT 9u
#define KVR_READ_ALL_CURRENT 10u

/* "Of card 0" goes to card 0 alone and only to a settable entry; "of every card" to each card
 * index whatever the entry says. */
#define KVR_SET_CORE_OF_CARD0 1u
#define KVR_SET_MEMORY_OF_CARD0 2u
#define KVR_SET_VOLTAGE_OF_CARD0 3u
#define KVR_SET_CORE_OF_EVERY_CARD 4u
#define KVR_SET_MEMORY_OF_EVERY_CARD 5u
#define KVR_SET_VOLTAGE_OF_EVERY_CARD 6u
#define KVR_SET_ALL 7u /* core, memory, voltage and fan of every card */

/* Request words: word 0 = group (4 bits) | card index (4) | unused (4) | command (4) | core (16),
 * word 1 = memory (16) | voltage (16), word 2 = fan (16, set-all only) | unused (16). */
#define KVR_NIBBLE_MASK 0xFu
#define KVR_HALF_MASK 0xFFFFu
#define KVR_GROUP_SHIFT 28
#define KVR_CARD_SHIFT 24
#define KVR_COMMAND_SHIFT 16
#define KVR_HIGH_SHIFT 16
#define KVR_MAX_CARD_INDEX 15u
#define KVR_MAX_FIELD_VALUE 65535u

#define KVR_WORD0(group, card, command, core)                   \
    ((((uint32_t)(group)&KVR_NIBBLE_MASK) << KVR_GROUP_SHIFT) | \
     (((uint32_t)(card)&KVR_NIBBLE_MASK) << KVR_CARD_SHIFT) |   \
     (((uint32_t)(command)&KVR_NIBBLE_MASK) << KVR_COMMAND_SHIFT) | ((uint32_t)(core)&KVR_HALF_MASK))
#define KVR_HALVES(high, low) \
    ((((uint32_t)(high)&KVR_HALF_MASK) << KVR_HIGH_SHIFT) | ((uint32_t)(low)&KVR_HALF_MASK))

#define KVR_WORD0_GROUP(word0) ((uint32_t)(word0) >> KVR_GROUP_SHIFT)
#define KVR_WORD0_CARD(word0) (((uint32_t)(word0) >> KVR_CARD_SHIFT) & KVR_NIBBLE_MASK)
#define KVR_WORD0_COMMAND(word0) (((uint32_t)(word0) >> KVR_COMMAND_SHIFT) & KVR_NIBBLE_MASK)
#define KVR_HIGH_HALF(word) ((uint32_t)(word) >> KVR_HIGH_SHIFT)
#define KVR_LOW_HALF(word) ((uint32_t)(word)&KVR_HALF_MASK)

/* Answer words. Two values in one word are high * 65536 + low, added in 32-bit wrap-around
 * arithmetic (not masked): a low value above 65535 carries into the high half, a negative one
 * borrows from it. */
#define KVR_PACK_HIGH_LOW(high, low) ((uint32_t)(high)*UINT32_C(65536) + (uint32_t)(low))

/* The board word of information command 7: count (bits 31..28) | 1 (27..24) | model (23..16) |
 * version (15..8) | 1 (7..4) | 0 (3..0), its parts added, not masked. */
#define KVR_BOARD_COUNT_SHIFT 28
#define KVR_BOARD_MODEL_SHIFT 16
#define KVR_BOARD_VERSION_SHIFT 8
#define KVR_BOARD_BYTE_MASK 0xFFu
#define KVR_BOARD_FIXED_BITS ((UINT32_C(1) << 24) | (UINT32_C(1) << 4))
#define KVR_BOARD_FIXED_MASK UINT32_C(0x0F0000FF)
#define KVR_BOARD_WORD(count, model, version)                                            \
    ((uint32_t)(count) * (UINT32_C(1) << KVR_BOARD_COUNT_SHIFT) + KVR_BOARD_FIXED_BITS + \
     (uint32_t)(model) * (UINT32_C(1) << KVR_BOARD_MODEL_SHIFT) +                        \
     (uint32_t)(version) * (UINT32_C(1) << KVR_BOARD_VERSION_SHIFT))
#define KVR_BOARD_COUNT(word) ((uint32_t)(word) >> KVR_BOARD_COUNT_SHIFT)
#define KVR_BOARD_MODEL(word) (((uint32_t)(word) >> KVR_BOARD_MODEL_SHIFT) & KVR_BOARD_BYTE_MASK)
#define KVR_BOARD_VERSION(word) (((uint32_t)(word) >> KVR_BOARD_VERSION_SHIFT) & KVR_BOARD_BYTE_MASK)

#endif
