// Linked into every Windows test program. GoogleTest on Windows starts a watcher thread for each
// thread the first time that thread takes a thread-local value (a SCOPED_TRACE, a failure's
// reporter), and does not wait for it to start. A test program that ends while that thread is still
// starting is crashed by wine (SIGSEGV after the test passed: the new thread takes a signal before
// wine has set it up). So the main thread's watcher is started here, before the first test, and
// waited for until the system attaches it to this program (its TLS callback below), which is after
// its setting up.

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// Set by every thread's attach from the program's start on.
HANDLE threadAttached() {
    static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}
const HANDLE kMadeBeforeMain = threadAttached();

void NTAPI onThreadEvent(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_THREAD_ATTACH) ::SetEvent(threadAttached());
}

class WatcherThreadStarted : public ::testing::Environment {
  public:
    void SetUp() override {
        { SCOPED_TRACE("the main thread's first thread-local value"); }
        // The watcher attaches within moments; should something else have kept it, the tests run all
        // the same (as they did before this wait).
        ::WaitForSingleObject(threadAttached(), 60000);
    }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new WatcherThreadStarted);

}  // namespace

// The program's TLS callback, which the system calls in each new thread once it is set up.
extern "C" {
__attribute__((section(".CRT$XLY"), used)) const PIMAGE_TLS_CALLBACK kelvaneThreadEvent = onThreadEvent;
}
