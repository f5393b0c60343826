#pragma once

#include "app/run/environment_settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace App {

// The command that starts the program at sign-in without showing its window:
// the executable's path in quotes, a space and --tray.
std::string AutostartCommand(std::string_view executable);

// The same command as the Exec value of a desktop entry: the path quoted with
// `"`, `` ` ``, `$` and `\` escaped, `%` doubled, and the value's own
// backslashes escaped once more. Nothing for a path that is not UTF-8 or that
// holds a control character, which an entry cannot carry.
std::optional<std::string> DesktopEntryExec(std::string_view executable);

// Starting the program when the user signs in. Normally an XDG autostart
// entry, $XDG_CONFIG_HOME/autostart/VeltoCorvane.desktop, that the session
// starts; in self-contained mode the marker file "autostart" in the data
// folder, which nothing starts, so that a copy with its own folder never
// changes what the user's session does.
class Autostart {
public:
    // `executable` is the program's full path.
    Autostart(const EnvironmentSettings& settings, std::string executable);

    // The file that carries the setting; empty when there is no place for it.
    std::string EntryPath() const;
    // Normally: the entry exists and is not hidden (Hidden=true is how the
    // autostart rules delete an entry). Self-contained: the marker exists.
    bool IsEnabled() const;
    // Writes the entry (replacing any in one step) or removes it; removing one
    // that does not exist succeeds.
    bool Set(bool enable) const;

private:
    std::string m_dataFolder; // not empty in self-contained mode
    std::string m_executable;
};

// For this process: its environment settings and its own executable.
bool IsAutostartEnabled();
bool SetAutostart(bool enable);

} // namespace App
