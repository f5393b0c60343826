#pragma once

#include "tests/support/child_process.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace App::Testing {

// Where the program's standard output goes.
enum class OutputTo {
    File,
    // A pipe that holds one page and is read only when the test looks at the
    // output, so a test can leave it full, as a paused terminal would be.
    Pipe,
};

// The real veltocorvane executable started with exactly the given arguments
// and environment; standard output and error go to files in `folder` (or
// standard output to a pipe). The program dies with the test process and is
// killed on destruction if still running.
class ProgramRun {
public:
    // `prefix` runs the program through another one, e.g. "ip netns exec <ns>".
    ProgramRun(const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment, const std::string& folder,
               const std::vector<std::string>& prefix = {}, OutputTo output = OutputTo::File);
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Waits (at most `limitMs`) until standard output holds `text`; false when
    // the program ended or the limit passed first.
    bool WaitForOutput(std::string_view text, int limitMs);
    bool Signal(int signal) const { return m_child.Signal(signal); }
    // Waits for the program to end; its exit code, or 128 + signal number.
    int Wait();

    // Everything written so far; with OutputTo::Pipe, reading the pipe empty.
    std::string Output();
    std::string Errors() const;

private:
    OutputTo m_outputTo;
    std::string m_outputPath;
    std::string m_errorPath;
    Velto::Testing::ChildProcess m_child;
};

// Path of the built executable.
std::string ProgramPath();

} // namespace App::Testing
