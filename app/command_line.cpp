#include "app/command_line.h"

#include <charconv>

namespace App {
namespace {

constexpr std::uint32_t kLowestPort = 1;
constexpr std::uint32_t kHighestPort = 65535;

std::optional<std::uint16_t> ParsePort(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < kLowestPort ||
        value > kHighestPort)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::string_view UsageText() {
    return "Usage: veltocorvane --headless [--port N] [--share PATH]... [--upnp]\n"
           "  --headless      run the server without a window, sharing what config.json\n"
           "                  shares (and what --share adds); stop it with Ctrl+C or SIGTERM\n"
           "  --port N        listen on port N (1-65535) for this run instead of the saved port\n"
           "  --share PATH    also share this folder or file, read-only for guests, for this\n"
           "                  run only (may be given more than once)\n"
           "  --upnp          ask the router to forward the port, which makes the shares\n"
           "                  reachable from the Internet (off unless given)\n";
}

CommandLine ParseCommandLine(std::span<const std::string_view> arguments, bool selfContained) {
    CommandLine line;
    std::vector<std::string_view> unknown;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--tray") {
            line.tray = true;
        } else if (argument == "--quit") {
            line.quit = true;
        } else if (argument == "--drop") {
            if (selfContained && hasValue)
                line.drop = std::string{arguments[++i]};
        } else if (argument == "--headless") {
            line.headless = true;
        } else if (argument == "--upnp") {
            line.upnp = true;
        } else if (argument == "--help" || argument == "-h") {
            line.help = true;
        } else if (argument == "--port") {
            if (!hasValue) {
                line.error = "--port needs a port number";
                continue;
            }
            const std::string_view value = arguments[++i];
            line.port = ParsePort(value);
            if (!line.port && line.error.empty())
                line.error =
                    "--port needs a number from 1 to 65535, not \"" + std::string{value} + "\"";
        } else if (argument == "--share") {
            if (!hasValue) {
                line.error = "--share needs a path";
                continue;
            }
            line.shares.emplace_back(arguments[++i]);
        } else {
            unknown.push_back(argument);
        }
    }
    if (line.headless && line.error.empty() && !unknown.empty())
        line.error = "unknown option \"" + std::string{unknown.front()} + "\"";
    if (!line.headless)
        line.error.clear();
    return line;
}

} // namespace App
