#include "app/desktop/run_program.h"

#include "app/desktop/program.h"
#include "app/desktop/screenshots/dialog_shots.h"
#include "app/desktop/screenshots/shot_scale.h"
#include "app/desktop/shell/display_presence.h"
#include "app/desktop/shell/instance_name.h"
#include "app/desktop/stop_signal_watch.h"
#include "app/desktop/tray/tray_icons.h"
#include "app/run/service_options_for_run.h"
#include "app/texts/text_table.h"
#include "app/usage/usage_options.h"
#include "app/usage/usage_stats.h"
#include "base/result.h"
#include "base/utf.h"
#include "instance/single_instance.h"
#include "server/net/sigpipe_ignore_count.h"
#include "service/corvane_service.h"
#include "webapp/embedded_assets.h"
#include "widget/dialogs/message_dialog.h"
#include "widget/tray/tray_icon.h"
#include "widget/window/application.h"
#include "widget/window/dialog.h"
#include "widget/window/kit_settings.h"
#include "widget/window/window.h"
#include "widget/window/window_options.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

namespace App {

using namespace Velto::Widget;

namespace {

constexpr char kAppName[] = "VeltoCorvane";
// Windows parked out of sight (automated runs).
constexpr int kParkedX = -30000;
constexpr int kParkedY = 100;
// The size of the icon every window carries.
constexpr int kWindowIconPixels = 64;
// A process ended by a signal reports 128 + its number, as shells do.
constexpr int kSignalExitBase = 128;

constexpr std::string_view kHeadlessHint =
    "Run the server without a window instead:\n"
    "  veltocorvane --headless [--port N] [--share PATH]...\n";

void PrintError(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
}

void PostTask(Kit::UiTask task) {
    Application::Instance().Post(std::move(task));
}

// Where a stop signal goes: the program once it runs, the loop before that,
// and before the toolkit runs (a second copy waiting for the first one's
// answer) straight to the end of the process, as without the watch.
class StopTarget {
public:
    void Set(Program* program) {
        const std::lock_guard lock(m_mutex);
        m_program = program;
    }
    void SetLoopReady() { m_loopReady = true; }
    // On the watch's thread.
    void Signal(int signal) {
        if (!m_loopReady.load())
            std::_Exit(kSignalExitBase + signal);
        Application::Instance().Post([this] {
            const std::lock_guard lock(m_mutex);
            if (m_program != nullptr)
                m_program->Exit();
            else
                Application::Instance().Quit(kExitOk);
        });
    }

private:
    std::mutex m_mutex; // guards m_program
    Program* m_program{nullptr};
    std::atomic<bool> m_loopReady{false};
};

} // namespace

std::u16string ForwardedCommand(const CommandLine& line) {
    if (line.quit)
        return u"quit";
    if (line.drop)
        return u"drop:" + Velto::Utf8ToUtf16(*line.drop);
    return u"show";
}

void ConfigureKit(const EnvironmentSettings& settings, const DialogShots* shots) {
    Kit::KitSettings kit;
    kit.appIcon = ProgramIconBitmap(kWindowIconPixels, true);
    if (settings.parkWindows) {
        kit.windowOptionsHook = [](WindowOptions& options) {
            options.hasPosition = true;
            options.x = kParkedX;
            options.y = kParkedY;
        };
    }
    if (shots != nullptr) {
        kit.dialogHook = [shots](Dialog& dialog, std::u16string_view title) {
            shots->OnDialog(dialog, title);
        };
    }
    Kit::ConfigureKit(std::move(kit));
}

int RunProgram(const CommandLine& line, const EnvironmentSettings& settings) {
    const bool shotsMode = !settings.shotsFolder.empty();
    StopTarget stopTarget;
    // Before any other thread, so that only the watch receives the signals.
    const StopSignalWatch stopWatch([&stopTarget](int signal) { stopTarget.Signal(signal); });

    // Decided before the display is needed, so that --quit and a second
    // start work from a terminal without one.
    Velto::Instance::SingleInstance instance(InstanceName(settings), PostTask);
    if (instance.LockPath().empty()) {
        PrintError("veltocorvane: no private runtime folder ($XDG_RUNTIME_DIR), so another "
                   "running copy cannot be found; starting anyway.\n");
        if (line.quit)
            return kExitOk;
    } else if (!instance.IsPrimary()) {
        return instance.Send(ForwardedCommand(line), kCommandTimeoutMs) ? kExitOk : kExitFailure;
    }
    if (line.quit)
        return kExitOk;

    const std::optional<float> shotScale = ShotScaleFromText(settings.shotsScale);
    if (shotsMode && !shotScale) {
        PrintError("veltocorvane: VELTO_CORVANE_SHOTS_SCALE is a number from 1 to 4 (2 renders "
                   "what a desktop at 192 DPI shows).\n");
        return kExitFailure;
    }
    if (!shotsMode && !HasDisplay()) {
        PrintError("No display found ($DISPLAY and $WAYLAND_DISPLAY are empty), so the desktop "
                   "window cannot open.\n");
        PrintError(kHeadlessHint);
        return kExitNoDisplay;
    }
    ApplicationOptions options;
    options.appName = kAppName;
    options.appTitle = kAppName;
    options.perMonitorDpiAware = true;
    options.initGraphicsEarly = true;
    options.dummyVideo = shotsMode;
    // The pictures show what a desktop at that scale shows: every window
    // takes the DPI as it would take the desktop's Xft.dpi.
    if (shotsMode)
        options.dpi = *shotScale * Window::kDefaultDpi;
    options.watchAppearance = !shotsMode;
    if (!Application::Instance().Init(options)) {
        PrintError("The display could not be opened, so the desktop window cannot open.\n");
        PrintError(kHeadlessHint);
        return kExitFailure;
    }
    stopTarget.SetLoopReady();

    const Velto::Corvane::ServiceOptions serviceOptions = ServiceOptionsFor(settings);
    if (serviceOptions.configPath.empty()) {
        PrintError("veltocorvane: cannot find a folder for the settings: HOME is not set.\n");
        return kExitFailure;
    }
    if (Velto::Failed(Velto::Net::AcquireSigpipeIgnore()))
        return kExitFailure;

    const std::unique_ptr<DialogShots> shots =
        shotsMode ? std::make_unique<DialogShots>(settings.shotsFolder) : nullptr;
    ConfigureKit(settings, shots.get());
    const bool usageStats = !settings.SelfContained();
    if (usageStats)
        StartUsageStats(ProgramUsageOptions());

    int exitCode = kExitOk;
    {
        const Velto::Corvane::EmbeddedAssets assets;
        Velto::Corvane::CorvaneService service{serviceOptions, assets};
        Kit::TrayIcon tray{PostTask};
        Program program{service, tray, settings, serviceOptions.configPath};
        if (!program.Start(!line.tray && !shotsMode)) {
            Kit::ShowMessage(nullptr, Text(TextId::AppName, program.Language()),
                             Text(TextId::CannotDraw, program.Language()), Kit::MessageButtons::Ok,
                             Kit::MessageIcon::Error);
            exitCode = kExitFailure;
        } else if (shotsMode) {
            const std::size_t failures = program.TakeScreenshots(*shots);
            exitCode = failures > 0 || shots->Failed() > 0 ? kExitShotsFailed : kExitOk;
        } else {
            stopTarget.Set(&program);
            instance.SetOnCommand(
                [&program](const std::u16string& command) { program.OnCommand(command); });
            exitCode = Application::Instance().Run();
            instance.SetOnCommand({});
            stopTarget.Set(nullptr);
        }
        // The shutdown, in order: the callbacks, the tray icon, then the
        // window (with the program) and the service, which stops the server
        // and waits for the router mapping to be removed.
        program.Detach();
        tray.Remove();
    }
    if (usageStats)
        StopUsageStats(std::chrono::milliseconds(kUsageStopWaitMs));
    Velto::Net::ReleaseSigpipeIgnore();
    Kit::ConfigureKit({});
    return exitCode;
}

} // namespace App
