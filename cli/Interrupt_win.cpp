#include "cli/Interrupt.h"

#include <atomic>
#include <windows.h>

namespace cli {
namespace {

std::atomic<bool> gInterrupted{false};

// Runs on a thread of its own that the console starts. Returning FALSE hands the event on to the
// default handler, which ends the process: so a second Ctrl-C does.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        return gInterrupted.exchange(true) ? FALSE : TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // The console closes or the session ends: stop the same way, so that a running conversion
        // and its files go too. The system waits a few seconds for the handler, not for the run.
        gInterrupted = true;
        Sleep(5000);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void InstallInterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool InterruptRequested() {
    return gInterrupted;
}

void RaiseInterruptFlag() {
    gInterrupted = true;
}

} // namespace cli
