#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Velto::Widget::Kit {

// The full path of an executable found on PATH; none when there is none.
std::optional<std::string> FindOnPath(const std::string& name);

struct ToolResult {
    int exitCode{-1}; // -1 when the tool was killed by a signal
    std::string output;
};

// A dialog tool's answer is a few paths; more than this is not an answer.
constexpr std::size_t kMaxToolOutputBytes = 1 << 20;

// Runs a program with an argument vector (no shell), its input from
// /dev/null and its error output dropped, and collects its standard output.
// None when it cannot be started, or when its output passes `maxOutput`
// (it is killed then). Waits as long as the program runs: a dialog is open
// for as long as the user takes.
std::optional<ToolResult> RunTool(const std::string& program, const std::vector<std::string>& args,
                                  std::size_t maxOutput = kMaxToolOutputBytes);

} // namespace Velto::Widget::Kit
