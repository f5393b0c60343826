#include "app/command_line.h"
#include "app/headless/headless_run.h"
#include "app/run/desktop_handover.h"
#include "app/run/environment_settings.h"
#include "app/run/stop_signals.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace {

constexpr int kUsageExit = 2;

constexpr std::string_view kDesktopUsage =
    "Usage: veltocorvane [--tray | --quit]\n"
    "  (no option)     the desktop program: its window and its icon in the panel; started\n"
    "                  again, it brings the running window forward\n"
    "  --tray          start without showing the window (as when starting at sign-in)\n"
    "  --quit          ask the running desktop program to exit\n";

void Print(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    const App::EnvironmentSettings& settings = App::GetEnvironmentSettings();
    const App::CommandLine line = App::ParseCommandLine(arguments, settings.SelfContained());

    if (line.help) {
        Print(stdout, kDesktopUsage);
        Print(stdout, App::UsageText());
        return 0;
    }
    if (!line.error.empty()) {
        Print(stderr, "veltocorvane: " + line.error + "\n");
        Print(stderr, App::UsageText());
        return kUsageExit;
    }
    if (!line.headless)
        return App::HandOverToDesktop(argv);

    // Before any thread exists, so that the stop signals reach only the waiting thread.
    if (!App::BlockStopSignals()) {
        Print(stderr, "veltocorvane: cannot set up the stop signals\n");
        return 1;
    }
    return App::RunHeadless(line, settings);
}
