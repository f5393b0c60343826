#pragma once

#include <signal.h>

namespace App {

// The signals that stop the program: SIGINT, SIGTERM and SIGHUP.
sigset_t StopSignalSet();

// SIGINT, SIGTERM and SIGHUP are blocked in the calling thread and in every thread it
// starts afterwards, so that only WaitForStopSignal receives them. Call before
// any thread exists.
bool BlockStopSignals();

// Waits for one of them and returns its number.
int WaitForStopSignal();

} // namespace App
