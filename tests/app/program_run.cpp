#include "tests/app/program_run.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace App::Testing {
namespace {

using Velto::Testing::ChildOptions;

constexpr auto kPollStep = std::chrono::milliseconds(20);
// The program ends when the test says so; this only bounds a hung one.
constexpr auto kExitLimit = std::chrono::minutes(10);
// The smallest pipe the kernel makes: one page.
constexpr int kPipeCapacity = 4096;

std::string ReadFile(const std::string& path) {
    std::ifstream in{path, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

} // namespace

std::string ProgramPath() {
    const char* binary = std::getenv("VELTO_BINARY_DIR");
    return std::string{binary ? binary : "."} + "/app/veltocorvane";
}

ProgramRun::ProgramRun(const std::vector<std::string>& arguments,
                       const std::map<std::string, std::string>& environment,
                       const std::string& folder, const std::vector<std::string>& prefix,
                       OutputTo output)
    : m_outputTo(output), m_outputPath(folder + "/stdout.txt"),
      m_errorPath(folder + "/stderr.txt") {
    std::vector<std::string> argv{prefix};
    argv.push_back(ProgramPath());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ChildOptions options{.inheritEnvironment = false,
                         .output = output == OutputTo::Pipe ? ChildOptions::Stream::Pipe
                                                            : ChildOptions::Stream::File,
                         .outputFile = m_outputPath,
                         .errors = ChildOptions::Errors::ToFile,
                         .errorFile = m_errorPath,
                         .pipeCapacity = output == OutputTo::Pipe ? kPipeCapacity : 0};
    for (const auto& [name, value] : environment)
        options.environment.push_back(name + "=" + value);
    m_child = Velto::Testing::ChildProcess{argv, std::move(options)};
}

bool ProgramRun::WaitForOutput(std::string_view text, int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < end) {
        if (Output().find(text) != std::string::npos)
            return true;
        if (m_child.TryWait())
            return Output().find(text) != std::string::npos;
        std::this_thread::sleep_for(kPollStep);
    }
    return false;
}

int ProgramRun::Wait() {
    return m_child.WaitForExit(kExitLimit);
}

std::string ProgramRun::Output() {
    if (m_outputTo == OutputTo::File)
        return ReadFile(m_outputPath);
    return m_child.ReadAvailable();
}

std::string ProgramRun::Errors() const {
    return ReadFile(m_errorPath);
}

} // namespace App::Testing
