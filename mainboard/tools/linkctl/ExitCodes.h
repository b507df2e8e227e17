#pragma once
// linkctl's exit codes, which scripts and tests read: one per way a request can end.

#include "remote/RemoteSide.h"

namespace simboard {

enum class LinkExit : int {
    Answered = 0,
    Usage = 1,     // also a value outside its field: nothing was sent
    NoServer = 2,  // bench and soak: no server has registered to run against
    TimedOut = 3,  // staged or withdrawn
    ErrorAnswer = 4,
    MismatchedAnswer = 5,
    PortFailed = 6,
};

constexpr int exitCodeOf(kvr_status status) {
    switch (status) {
        case KVR_ANSWERED:
        case KVR_OK:
            return static_cast<int>(LinkExit::Answered);
        case KVR_TIMED_OUT_STAGED:
        case KVR_TIMED_OUT_WITHDRAWN:
            return static_cast<int>(LinkExit::TimedOut);
        case KVR_ERROR_ANSWER:
            return static_cast<int>(LinkExit::ErrorAnswer);
        case KVR_MISMATCHED_ANSWER:
            return static_cast<int>(LinkExit::MismatchedAnswer);
        case KVR_TRANSPORT_FAILURE:
            return static_cast<int>(LinkExit::PortFailed);
        case KVR_PENDING:
        case KVR_INVALID_ARGUMENT:
        case KVR_BUSY:
            break;
    }
    return static_cast<int>(LinkExit::Usage);
}

}  // namespace simboard
