#include "app/run/environment_settings.h"

#include "base/environment_variable.h"

namespace App {
namespace {

bool Switch(const char* name) {
    return Velto::EnvironmentVariable(name) == "1";
}

} // namespace

EnvironmentSettings ReadEnvironmentSettings() {
    EnvironmentSettings settings;
    settings.dataFolder = Velto::EnvironmentVariable("VELTO_CORVANE_DATA_DIR");
    settings.parkWindows = Switch("VELTO_CORVANE_PARK_WINDOWS");
    settings.trayHidden = Switch("VELTO_CORVANE_TRAY_HIDDEN");
    settings.loopback = Switch("VELTO_CORVANE_LOOPBACK");
    settings.instanceSuffix = Velto::EnvironmentVariable("VELTO_CORVANE_INSTANCE");
    settings.shotsFolder = Velto::EnvironmentVariable("VELTO_CORVANE_SHOTS");
    settings.shotsScale = Velto::EnvironmentVariable("VELTO_CORVANE_SHOTS_SCALE");
    settings.traceFile = Velto::EnvironmentVariable("VELTO_CORVANE_TRACE");
    return settings;
}

const EnvironmentSettings& GetEnvironmentSettings() {
    static const EnvironmentSettings settings = ReadEnvironmentSettings();
    return settings;
}

} // namespace App
