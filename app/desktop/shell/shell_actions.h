#pragma once

#include "app/run/environment_settings.h"

#include <string>
#include <string_view>

namespace App {

// What the window does with addresses and paths: hand them to the desktop.
// Nothing here waits for the program that opens them. In self-contained mode
// none of it happens; each action writes a trace line instead, so that a copy
// with its own folder never opens windows on the user's desktop.
class ShellActions {
public:
    explicit ShellActions(const EnvironmentSettings& settings);

    // Opens an address in the user's browser (xdg-open).
    bool OpenAddress(std::string_view url) const;
    // Opens the folder that holds the item with the item selected, through the
    // file manager's bus interface, else opens that folder with xdg-open. The
    // bus is asked on a short-lived thread of its own: the call returns at once.
    bool OpenFileLocation(std::string_view path) const;
    // Creates the folder when it is missing, then opens it (xdg-open).
    bool OpenFolder(std::string_view path) const;

private:
    bool m_selfContained{false};
    std::string m_traceFile;
};

// The same actions for this process's environment settings.
bool OpenAddress(std::string_view url);
bool OpenFileLocation(std::string_view path);
bool OpenFolder(std::string_view path);

} // namespace App
