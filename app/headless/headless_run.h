#pragma once

#include "app/command_line.h"
#include "app/run/environment_settings.h"

namespace App {

// Runs the server without a window until SIGINT, SIGTERM or SIGHUP: loads config.json,
// adds the --share paths for this run, starts, prints the addresses and every
// access-log entry on standard output, and stops cleanly (the router mapping
// is removed before this returns). Returns the process exit code: 0 after a
// clean stop, 1 when the server could not start or a share path is unusable.
// Expects those signals to be blocked already (BlockStopSignals).
int RunHeadless(const CommandLine& line, const EnvironmentSettings& settings);

} // namespace App
