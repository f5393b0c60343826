#pragma once

#include <string>
#include <string_view>

namespace App {

// The program's executables: the command users run, the desktop program it
// hands over to when there is a window to show, and the thumbnail helper. The
// command itself never loads the toolkit's libraries, so a headless server
// starts without paying for them. In the build folder they lie side by side;
// installed, the command is in bin/ and the others in libexec/veltocorvane/,
// where users do not run them by hand.
inline constexpr std::string_view kCommandName = "veltocorvane";
inline constexpr std::string_view kDesktopProgramName = "veltocorvane-desktop";

// The path of the executable `name` in the folder of the running one (from
// /proc/self/exe, however long it is); empty when the system does not tell.
std::string SiblingExecutable(std::string_view name);

// The desktop program, seen from the command: beside it, else installed.
std::string DesktopProgramPath();
// The command, seen from the desktop program: beside it, else installed.
std::string CommandPath();

} // namespace App
