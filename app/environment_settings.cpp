#include "app/environment_settings.h"

#include <cstdlib>
#include <string_view>

namespace App {
namespace {

std::string Text(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return {};
    const std::string_view text{value};
    if (text.size() >= kMaxVariableLength)
        return {};
    return std::string{text};
}

bool Switch(const char* name) {
    return Text(name) == "1";
}

} // namespace

EnvironmentSettings ReadEnvironmentSettings() {
    EnvironmentSettings settings;
    settings.dataFolder = Text("VELTO_CORVANE_DATA_DIR");
    settings.parkWindows = Switch("VELTO_CORVANE_PARK_WINDOWS");
    settings.trayHidden = Switch("VELTO_CORVANE_TRAY_HIDDEN");
    settings.loopback = Switch("VELTO_CORVANE_LOOPBACK");
    settings.instanceSuffix = Text("VELTO_CORVANE_INSTANCE");
    settings.shotsFolder = Text("VELTO_CORVANE_SHOTS");
    settings.traceFile = Text("VELTO_CORVANE_TRACE");
    return settings;
}

const EnvironmentSettings& GetEnvironmentSettings() {
    static const EnvironmentSettings settings = ReadEnvironmentSettings();
    return settings;
}

} // namespace App
