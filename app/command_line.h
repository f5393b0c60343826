#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace App {

// The program's options. The window options are matched exactly and anything
// else is ignored, as a desktop launcher may pass extra arguments; the
// headless options are checked strictly, since a mistyped one on a terminal
// should be reported rather than silently dropped.
struct CommandLine {
    bool tray{false};
    bool quit{false};
    std::optional<std::string> drop; // only honoured in self-contained mode

    bool headless{false};
    std::optional<std::uint16_t> port;
    std::vector<std::string> shares;
    bool upnp{false}; // ask the router for a port mapping in a headless run

    bool help{false};
    std::string error; // not empty when the headless options are malformed
};

// `arguments` excludes the program name.
CommandLine ParseCommandLine(std::span<const std::string_view> arguments, bool selfContained);

// The usage text printed for --help and after a malformed headless option.
std::string_view UsageText();

} // namespace App
