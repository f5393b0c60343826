#pragma once

// A private home for one run of the real desktop program: its own HOME, XDG
// folders, runtime folder (where the single-instance lock lives), data
// folder with config.json (self-contained mode) and trace file, and the
// environment to start it with. Nothing of the developer's session leaks in.
#include "tests/app/program_run.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace App::Testing {

// Generous: CI runs these on two busy cores, sometimes under sanitizers.
constexpr int kProgramLimitMs = 60'000;

class ProgramHome {
public:
    explicit ProgramHome(const std::string& name) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / ("velto-" + name + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr)
            root = pattern;
        for (const char* folder : {"home", "config", "state", "data-home", "data", "run"})
            std::filesystem::create_directories(root / folder);
        ::chmod((root / "run").c_str(), 0700);
    }
    ~ProgramHome() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    ProgramHome(const ProgramHome&) = delete;
    ProgramHome& operator=(const ProgramHome&) = delete;

    std::filesystem::path Data() const { return root / "data"; }
    std::filesystem::path TracePath() const { return root / "trace.txt"; }

    void WriteConfig(const std::string& json) const {
        std::ofstream{Data() / "config.json"} << json;
    }

    // The program's environment; `extra` adds or replaces variables.
    std::map<std::string, std::string>
    Environment(const std::map<std::string, std::string>& extra = {}) const {
        std::map<std::string, std::string> environment{
            {"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"},
            {"HOME", (root / "home").string()},
            {"XDG_CONFIG_HOME", (root / "config").string()},
            {"XDG_STATE_HOME", (root / "state").string()},
            {"XDG_DATA_HOME", (root / "data-home").string()},
            {"XDG_RUNTIME_DIR", (root / "run").string()},
            {"VELTO_CORVANE_DATA_DIR", Data().string()},
            {"VELTO_CORVANE_LOOPBACK", "1"},
            {"VELTO_CORVANE_TRACE", TracePath().string()},
            {"VELTO_SDK_NO_USAGE_STATS", "1"},
            {"GSETTINGS_BACKEND", "memory"},
            {"LANG", "C.UTF-8"},
        };
        // Sanitizer builds: the program's fonts stay loaded for its life.
        for (const char* name : {"LSAN_OPTIONS", "ASAN_OPTIONS", "TSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name))
                environment[name] = value;
        }
        for (const auto& [name, value] : extra)
            environment[name] = value;
        return environment;
    }

    std::vector<std::string> TraceLines() const {
        std::ifstream in{TracePath()};
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::size_t CountTrace(const std::string& line) const {
        std::size_t count = 0;
        for (const std::string& got : TraceLines())
            count += got == line ? 1 : 0;
        return count;
    }
    bool HasTracePrefix(const std::string& prefix) const {
        for (const std::string& got : TraceLines()) {
            if (got.rfind(prefix, 0) == 0)
                return true;
        }
        return false;
    }
    // Waits until the trace holds `line` at least `count` times.
    bool WaitForTrace(const std::string& line, std::size_t count = 1,
                      int limitMs = kProgramLimitMs) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (CountTrace(line) < count) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    std::string Trace() const {
        std::ostringstream text;
        for (const std::string& line : TraceLines())
            text << line << "\n";
        return text.str();
    }

    std::filesystem::path root;
};

} // namespace App::Testing
