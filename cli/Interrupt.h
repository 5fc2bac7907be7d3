#pragma once

// Ctrl-C and the system's request to end: the first only raises a flag, which the run notices where
// it lets events run and hands on as Stop; a second Ctrl-C ends the process.

namespace cli {

void InstallInterruptHandler();
bool InterruptRequested();
// For tests: sets the flag as the handler would.
void RaiseInterruptFlag();

} // namespace cli
