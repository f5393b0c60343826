#pragma once

#include <string>

namespace App {

// The program's environment variables, read once on first use and kept for
// the life of the process. A variable that is missing, empty, or 1024
// characters or longer counts as empty; switches are on only for exactly "1".
struct EnvironmentSettings {
    std::string dataFolder;     // VELTO_CORVANE_DATA_DIR: self-contained mode
    bool parkWindows{false};    // VELTO_CORVANE_PARK_WINDOWS
    bool trayHidden{false};     // VELTO_CORVANE_TRAY_HIDDEN
    bool loopback{false};       // VELTO_CORVANE_LOOPBACK: listen on 127.0.0.1 only
    std::string instanceSuffix; // VELTO_CORVANE_INSTANCE
    std::string shotsFolder;    // VELTO_CORVANE_SHOTS
    std::string shotsScale;     // VELTO_CORVANE_SHOTS_SCALE
    std::string traceFile;      // VELTO_CORVANE_TRACE

    bool SelfContained() const { return !dataFolder.empty(); }
};

// Reads the settings from the current environment (no caching).
EnvironmentSettings ReadEnvironmentSettings();

// The process-wide settings, read on the first call (thread-safe).
const EnvironmentSettings& GetEnvironmentSettings();

} // namespace App
