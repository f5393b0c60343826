// The program object in this process over a real service, on a private X
// server: when applied settings change the language or the colours, the
// program applies them and rebuilds its window in the new look.
#include "app/desktop/desktop_window.h"
#include "app/desktop/program.h"
#include "app/run/environment_settings.h"
#include "service/corvane_service.h"
#include "tests/support/service_fixture.h"
#include "tests/support/xvfb_session.h"
#include "widget/tray/tray_icon.h"
#include "widget/window/application.h"
#include "widget/window/standard_labels.h"
#include "widget/window/theme_choice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>

namespace App {
namespace {

using namespace Velto::Widget;
using Velto::Testing::XvfbSession;

constexpr double kDeadlineSeconds = 30;

bool RunUntil(const std::function<bool()>& condition) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(kDeadlineSeconds);
    Application::Instance().RunUntil(
        [&] { return condition() || std::chrono::steady_clock::now() > deadline; });
    return condition();
}

class ProgramLookTest : public Velto::Corvane::Testing::ServiceFixture {
protected:
    static void SetUpTestSuite() {
        ::setenv("GSETTINGS_BACKEND", "memory", 1);
        s_x = new XvfbSession(Velto::Testing::XvfbOptions{.windowManager = true});
        ASSERT_TRUE(s_x->Start());
        ApplicationOptions options;
        options.appName = "VeltoCorvaneTest";
        options.watchAppearance = false;
        ASSERT_TRUE(Application::Instance().Init(options));
    }
    // The server stays until the process ends: SDL keeps its connection.
    static void TearDownTestSuite() {}

    void SetUp() override {
        ServiceFixture::SetUp();
        MakeService();
        Velto::Corvane::Config config = BaseConfig(Velto::Corvane::Testing::FreeLoopbackPort());
        config.language = u"en";
        ASSERT_TRUE(Service().ApplyConfig(config));
        // The tray stays inside the program: no bus is needed.
        settings.trayHidden = true;
        tray = std::make_unique<Kit::TrayIcon>(
            [](Kit::UiTask task) { Application::Instance().Post(std::move(task)); });
        program = std::make_unique<Program>(Service(), *tray, settings, ConfigPath());
        ASSERT_TRUE(program->Start(false));
    }
    void TearDown() override {
        program->Detach();
        tray->Remove();
        program.reset();
        tray.reset();
        RunUntil([] { return true; });
        ServiceFixture::TearDown();
    }

    MainWindow& Main() { return program->Window()->Main(); }

    static inline XvfbSession* s_x{nullptr};
    EnvironmentSettings settings;
    std::unique_ptr<Kit::TrayIcon> tray;
    std::unique_ptr<Program> program;
};

TEST_F(ProgramLookTest, SettingsThatChangeTheLookRebuildTheWindowInIt) {
    EXPECT_EQ(program->Language(), UiLanguage::English);
    Velto::Corvane::Config config = Service().GetConfig();
    config.language = u"ko";
    config.theme = u"dark";
    ASSERT_TRUE(Service().ApplyConfig(config));
    // What the settings page does after applying.
    Main().GetHooks().onAppearanceChanged();
    EXPECT_TRUE(RunUntil([&] { return Main().Language() == UiLanguage::Korean; }));
    EXPECT_EQ(program->Language(), UiLanguage::Korean);
    EXPECT_EQ(Kit::CurrentThemeChoice(), Kit::ThemeChoice::Dark);
    EXPECT_EQ(Kit::LabelLanguage(), Kit::kLanguageKorean);
}

} // namespace
} // namespace App
