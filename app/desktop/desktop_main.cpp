// The desktop program's executable. The command users run hands over to it
// (same arguments, same process) whenever it is not asked for a headless
// server, so that the toolkit's libraries load only here.
#include "app/command_line.h"
#include "app/desktop/run_program.h"
#include "app/run/environment_settings.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace {

constexpr int kUsageExit = 2;

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    const App::EnvironmentSettings& settings = App::GetEnvironmentSettings();
    const App::CommandLine line = App::ParseCommandLine(arguments, settings.SelfContained());
    if (line.headless || line.help) {
        std::fputs("veltocorvane-desktop: run veltocorvane instead\n"
                   "veltocorvane-desktop: 대신 veltocorvane을 실행하십시오\n",
                   stderr);
        return kUsageExit;
    }
    return App::RunProgram(line, settings);
}
