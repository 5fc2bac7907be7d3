#include "cli/Interrupt.h"

#include <csignal>

namespace cli {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) {
    gInterrupted = 1;
}

} // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // The second Ctrl-C gets the default action and ends the process.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    // Ended by the system or a closed terminal: stop the same way, so that a running conversion and
    // its files go too.
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool InterruptRequested() {
    return gInterrupted != 0;
}

void RaiseInterruptFlag() {
    gInterrupted = 1;
}

} // namespace cli
