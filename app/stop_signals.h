#pragma once

namespace App {

// SIGINT and SIGTERM are blocked in the calling thread and in every thread it
// starts afterwards, so that only WaitForStopSignal receives them. Call before
// any thread exists.
bool BlockStopSignals();

// Waits for SIGINT or SIGTERM and returns its number.
int WaitForStopSignal();

} // namespace App
