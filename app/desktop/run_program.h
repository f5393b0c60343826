#pragma once

#include "app/command_line.h"
#include "app/run/environment_settings.h"

#include <optional>
#include <string>

namespace App {

class DialogShots;

// Exit codes of the desktop program.
inline constexpr int kExitOk = 0;
// The toolkit or the network layer could not start, the window could not be
// made, or a command for the running copy was not delivered.
inline constexpr int kExitFailure = 1;
// The screenshot mode had a capture that failed; also: no display at all.
inline constexpr int kExitShotsFailed = 2;
inline constexpr int kExitNoDisplay = 2;
// How long a second copy waits for the running one to take its command.
inline constexpr int kCommandTimeoutMs = 5000;
// How long pending usage reports may hold up the end.
inline constexpr int kUsageStopWaitMs = 1500;

// The command a second copy sends to the running one: "quit" for --quit,
// "drop:" + path for a drop path, otherwise "show".
std::u16string ForwardedCommand(const CommandLine& line);

// Installs the toolkit hooks: the program's icon on every window, the
// parked position for every new top-level window when windows are parked,
// and in screenshot mode the capture of every dialog.
void ConfigureKit(const EnvironmentSettings& settings, const DialogShots* shots);

// The desktop program from its command line to its end (the single-instance
// rule, the toolkit, the service, the window and tray, the loop or the
// screenshot mode, then the shutdown in order). Returns the exit code.
int RunProgram(const CommandLine& line, const EnvironmentSettings& settings);

} // namespace App
