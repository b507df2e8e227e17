// Queues two debugger lines as the server's log does while it handles a message, then fails an
// assertion: the report must not take the lines with it when it ends the program.

#include <windows.h>

#include "win32/Application.h"
#include "win32/DebugOutput.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    win32::queueDebugOutput(L"queued 1");
    win32::queueDebugOutput(L"queued 2");
    win32::assertionFailed("probe", __FILE__, __LINE__);
}
