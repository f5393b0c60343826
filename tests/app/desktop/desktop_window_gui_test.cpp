// The main window on a real X server (Xvfb with openbox): it opens with the
// program's class and title in Korean and English, light and dark; the
// switch, clicked with xdotool, starts and stops a real service; folders come
// in through a stand-in zenity and through a drop, reach config.json and are
// listed to a visitor over HTTP; the share dialog refuses a taken name; the
// address copies to the X clipboard.

#include "app/desktop/accounts/account_dialog.h"
#include "app/desktop/config_edit.h"
#include "app/desktop/desktop_window.h"
#include "app/desktop/home/home_page.h"
#include "app/desktop/shares/share_dialog.h"
#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "service/corvane_service.h"
#include "tests/app/desktop/desktop_window_gui_fixture.h"
#include "tests/support/http_client.h"
#include "tests/support/service_fixture.h"
#include "tests/support/xvfb_session.h"
#include "widget/controls/button.h"
#include "widget/controls/check_box.h"
#include "widget/controls/text_box.h"
#include "widget/controls/toggle_switch.h"
#include "widget/core/label.h"
#include "widget/core/stack.h"
#include "widget/window/application.h"
#include "widget/window/dialog.h"
#include "widget/window/kit_settings.h"
#include "widget/window/theme_choice.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace App {
namespace {

using namespace Velto::Widget;
using Velto::Corvane::Config;

using namespace App::Testing;

class DesktopWindowGuiTest : public DesktopWindowGuiFixture {
protected:
    static void SetUpTestSuite() {
        StartDisplay();
        if (HasFatalFailure())
            return;
        AnswerPickersFromFile("velto-window-gui-bin");
        ASSERT_TRUE(StartToolkitForWindowTests());
    }
    void SetUp() override {
        DesktopWindowGuiFixture::SetUp();
        pickFile = std::filesystem::temp_directory_path() / "velto-window-gui-pick";
        ::setenv("VELTO_TEST_PICK", pickFile.c_str(), 1);
    }

    void Open(const char* languageVariable) {
        ::setenv("LANGUAGE", languageVariable, 1);
        const UiLanguage language = ChooseUiLanguage(Service().GetConfig().language,
                                                     SystemUiLanguage(ReadLocaleEnvironment()));
        MainWindow::Hooks hooks;
        hooks.onServerStateChanged = [this] { ++stateChanges; };
        window = std::make_unique<DesktopWindow>(Service(), hooks, language);
        ASSERT_TRUE(window->Create());
        window->Show(false);
        ASSERT_TRUE(RunUntil([this] { return window->Native().IsActive(); }));
    }

    std::u16string T(TextId id) { return Text(id, window->Main().Language()); }

    std::string WindowProperty(const std::string& property) {
        return s_x->Run({"xprop", "-id", std::to_string(window->Native().XWindow()), property}).out;
    }

    std::string ListShares() {
        Velto::Corvane::Testing::HttpClient client{port};
        auto response = client.Request("GET", "/api/shares");
        return response ? response->body : std::string{};
    }

    std::filesystem::path pickFile;
    int stateChanges{0};
};

TEST_F(DesktopWindowGuiTest, OpensInBothLanguagesAndSchemes) {
    struct Case {
        const char* variable;
        Kit::ThemeChoice theme;
        const char* switchText;
        ThemeKind kind;
    };
    for (const Case& c : {Case{"ko", Kit::ThemeChoice::Light, "서버 꺼짐", ThemeKind::Light},
                          Case{"en", Kit::ThemeChoice::Dark, "Server off", ThemeKind::Dark}}) {
        SCOPED_TRACE(c.variable);
        Kit::SetThemeChoice(c.theme);
        Open(c.variable);
        EXPECT_NE(WindowProperty("_NET_WM_NAME").find("\"VeltoCorvane\""), std::string::npos);
        auto* toggle = FindById<ToggleSwitch>(Root(), u"server.switch");
        ASSERT_NE(toggle, nullptr);
        EXPECT_EQ(U8(toggle->Text()), c.switchText);
        EXPECT_EQ(window->Native().GetTheme().kind, c.kind);
        EXPECT_NE(FindLabel(Root(), T(TextId::SharedFoldersAndFiles)), nullptr);
        window.reset();
    }
    Kit::SetThemeChoice(Kit::ThemeChoice::Light);
}

// Off until the toolkit's window applies WindowOptions::resClass: SDL names
// the window after the executable, and the class set after creation does not
// reach the server.
TEST_F(DesktopWindowGuiTest, DISABLED_CarriesTheProgramsWindowClass) {
    Open("en");
    EXPECT_NE(WindowProperty("WM_CLASS").find("\"VeltoCorvane\""), std::string::npos)
        << WindowProperty("WM_CLASS");
}

TEST_F(DesktopWindowGuiTest, TheSwitchStartsAndStopsTheServer) {
    Open("en");
    auto* toggle = FindById<ToggleSwitch>(Root(), u"server.switch");
    ASSERT_NE(toggle, nullptr);
    Click(*toggle);
    ASSERT_TRUE(RunUntil([&] { return Service().IsRunning() && toggle->Text() == u"Server on"; }));
    EXPECT_NE(ListShares().find("docs"), std::string::npos);
    EXPECT_EQ(stateChanges, 1);

    Click(*FindById<ToggleSwitch>(Root(), u"server.switch"));
    ASSERT_TRUE(RunUntil([&] {
        auto* now = FindById<ToggleSwitch>(Root(), u"server.switch");
        return !Service().IsRunning() && now && now->Text() == u"Server off";
    }));

    // A port in use: the failure card names it, the switch stays off.
    Velto::Corvane::Testing::PortBlocker blocker;
    Config config = Service().GetConfig();
    config.port = blocker.Port();
    ASSERT_TRUE(Service().ApplyConfig(config));
    Click(*FindById<ToggleSwitch>(Root(), u"server.switch"));
    const std::u16string failure = Format(TextId::PortInUse, UiLanguage::English,
                                          {Velto::Utf8ToUtf16(std::to_string(blocker.Port()))});
    ASSERT_TRUE(RunUntil([&] { return FindLabel(Root(), failure) != nullptr; }));
    EXPECT_FALSE(FindById<ToggleSwitch>(Root(), u"server.switch")->IsOn());
}

TEST_F(DesktopWindowGuiTest, PickedAndDroppedFoldersAreSharedAndListed) {
    const auto home = std::filesystem::path(ConfigPath()).parent_path().parent_path();
    std::filesystem::create_directories(home / "Music");
    std::filesystem::create_directories(home / "Films");
    std::ofstream(pickFile) << (home / "Music").string() << "\n";
    Open("en");
    ASSERT_EQ(Service().Start(), 0);

    // Picked through the stand-in zenity; the dialog is confirmed with Enter.
    auto run = StartSteps({{DialogActive, [] { s_x->Run({"xdotool", "key", "Return"}); }}});
    Click(*FindById<Button>(Root(), u"share.add"));
    ASSERT_TRUE(RunUntil([&] { return FindLabel(Root(), u"Music") != nullptr; }));
    EXPECT_FALSE(run->timedOut);

    // Dropped onto the window.
    g_openDialog = nullptr;
    run = StartSteps({{DialogActive, [] { s_x->Run({"xdotool", "key", "Return"}); }}});
    SDL_Event event{};
    event.drop.windowID = window->Native().NativeId();
    event.type = SDL_DROPBEGIN;
    SDL_PushEvent(&event);
    event.type = SDL_DROPFILE;
    event.drop.file = SDL_strdup((home / "Films").c_str());
    SDL_PushEvent(&event);
    event.drop.file = nullptr;
    event.type = SDL_DROPCOMPLETE;
    SDL_PushEvent(&event);
    ASSERT_TRUE(RunUntil([&] { return FindLabel(Root(), u"Films") != nullptr; }));
    EXPECT_FALSE(run->timedOut);

    const Config saved = SavedConfig();
    ASSERT_EQ(saved.shares.size(), 3u);
    EXPECT_EQ(U8(saved.shares[1].name), "Music");
    EXPECT_EQ(U8(saved.shares[2].name), "Films");
    ASSERT_TRUE(RunUntil([&] { return ListShares().find("Films") != std::string::npos; }));
    EXPECT_NE(ListShares().find("Music"), std::string::npos);
}

TEST_F(DesktopWindowGuiTest, TheShareDialogRefusesATakenName) {
    const auto home = std::filesystem::path(ConfigPath()).parent_path().parent_path();
    std::filesystem::create_directories(home / "docs2");
    std::ofstream(pickFile) << (home / "docs2").string() << "\n";
    Open("en");
    Controls::TextBox* name = nullptr;
    bool takenShown = false;
    bool invalidShown = false;
    const auto key = [](const char* which) {
        return [which] { s_x->Run({"xdotool", "key", which}); };
    };
    const auto shows = [this](TextId id) {
        return [this, id] { return FindLabel(g_openDialog->Root(), T(id)) != nullptr; };
    };
    auto run = StartSteps({
        {DialogActive,
         [&] {
             name = FindFirst<Controls::TextBox>(g_openDialog->Root());
             name->SetText(u"DOCS");
         }},
        {[] { return true; }, key("Return")},
        {shows(TextId::NameInUse),
         [&] {
             takenShown = true;
             name->SetText(u"bad/name");
         }},
        {[] { return true; }, key("Return")},
        {shows(TextId::InvalidShareName), [&] { invalidShown = true; }},
        {[] { return true; }, key("Escape")},
    });
    Click(*FindById<Button>(Root(), u"share.add"));
    ASSERT_TRUE(RunUntil([&] { return run->Done(); }));
    EXPECT_FALSE(run->timedOut);
    EXPECT_TRUE(takenShown);
    EXPECT_TRUE(invalidShown);
    // The dialog is gone once the window takes input again.
    ASSERT_TRUE(RunUntil([this] { return window->Native().ModalDialogCount() == 0; }));
    EXPECT_EQ(SavedConfig().shares.size(), 1u);
}

TEST_F(DesktopWindowGuiTest, CopyPutsTheAddressOnTheClipboard) {
    Open("en");
    ASSERT_EQ(Service().Start(), 0);
    window->Main().Refresh();
    Button* copy = nullptr;
    ASSERT_TRUE(RunUntil([&] {
        copy = FindById<Button>(Root(), u"address.copy");
        return copy && copy->ActualWidth() > 0 && copy->IsArrangeValid();
    }));
    Click(*copy);
    ASSERT_TRUE(RunUntil([&] { return copy->Text() == u"Copied"; }));
    // The window answers xclip's request from its own loop, so xclip runs
    // beside it.
    std::atomic<bool> read{false};
    Velto::Testing::CommandOutput clipboard;
    std::thread reader([&] {
        clipboard = s_x->Run({"xclip", "-o", "-selection", "clipboard"});
        read = true;
    });
    const bool finished = RunUntil([&] { return read.load(); });
    reader.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(clipboard.out, U8(window->Main().Home()->ShownAddress()));
}

TEST_F(DesktopWindowGuiTest, AccountRightsReachConfigJsonNormalised) {
    Open("en");
    // Delete alone on the configured share: the dialog checks read with it.
    auto run = StartSteps({
        {DialogActive,
         [] {
             std::vector<Controls::TextBox*> boxes;
             std::function<void(Widget*)> collect = [&](Widget* widget) {
                 if (auto* box = dynamic_cast<Controls::TextBox*>(widget))
                     boxes.push_back(box);
                 for (const auto& child : widget->Children())
                     collect(child.get());
             };
             collect(g_openDialog->Root());
             boxes.at(0)->SetText(u"kim");
             boxes.at(1)->SetText(u"secret");
             boxes.at(2)->SetText(u"secret");
             auto* remove = FindByName<CheckBox>(g_openDialog->Root(), u"docs Delete");
             remove->Click();
         }},
        {[] { return true; },
         [] {
             s_x->Run({"xdotool", "key", "Return"});
         }},
    });
    Velto::Corvane::Account account;
    const Config config = Service().GetConfig();
    ASSERT_TRUE(EditAccountDialog(&window->Native(), config, account, true, UiLanguage::English));
    EXPECT_FALSE(run->timedOut);
    EditConfiguration(Service(), [&](Config& current) {
        current.accounts.push_back(account);
        return true;
    });
    const Config saved = SavedConfig();
    ASSERT_EQ(saved.accounts.size(), 1u);
    EXPECT_EQ(U8(saved.accounts[0].name), "kim");
    EXPECT_EQ(saved.accounts[0].access.at("0123456789abcdef"),
              static_cast<Velto::Corvane::AccessFlags>(5));
}

// Each refusal's message in the share and account dialogs, in both
// languages: the dialog grows with it, so OK and Cancel stay inside the
// window as the X server shows it.
TEST_F(DesktopWindowGuiTest, DialogsGrowForTheirErrorLine) {
    Open("en");
    const std::u16string folder = Service().GetConfig().shares.at(0).path;
    struct Case {
        std::vector<std::u16string> texts; // the dialog's text boxes in order
        bool checkBox;                     // ticks the dialog's password question
        TextId message;
    };
    const std::vector<Case> shareCases{
        {{u"", folder}, false, TextId::EnterName},
        {{u"a*b", folder}, false, TextId::InvalidShareName},
        {{u"DOCS", folder}, false, TextId::NameInUse},
        {{u"Other", u""}, false, TextId::ChooseFolderError},
        {{u"Other", folder + u"/nope"}, false, TextId::FolderNotFound},
        {{u"Other", folder, u""}, true, TextId::EnterPassword},
    };
    const std::vector<Case> accountCases{
        {{u"", u"a", u"a"}, false, TextId::EnterName},
        {{u"a:b", u"a", u"a"}, false, TextId::NameNoColon},
        {{u"kim", u"", u""}, false, TextId::EnterPassword},
        {{u"kim", u"a", u"b"}, false, TextId::PasswordsDiffer},
    };
    auto lastShown = std::make_shared<float>(0);
    auto lastEnd = std::make_shared<float>(0);
    const auto buttonsFit = [lastShown, lastEnd] {
        const Dialog& dialog = *g_openDialog;
        *lastShown = static_cast<float>(dialog.ClientScreenBounds().height) / dialog.DpiScale();
        const Velto::Widget::RectF row = dialog.ButtonRow().BoundsInWindow();
        *lastEnd = row.y + row.height;
        return !row.IsEmpty() && *lastEnd <= *lastShown + 0.5f;
    };
    for (const UiLanguage language : {UiLanguage::English, UiLanguage::Korean}) {
        for (const bool share : {true, false}) {
            SCOPED_TRACE(std::string(share ? "share" : "account") +
                         (language == UiLanguage::Korean ? " ko" : " en"));
            g_openDialog = nullptr;
            std::vector<Step> steps{{DialogActive, [] {}}};
            for (const Case& c : share ? shareCases : accountCases) {
                steps.push_back(
                    {[] { return true; },
                     [c, language] {
                         std::vector<Controls::TextBox*> boxes;
                         std::function<void(Widget*)> collect = [&](Widget* widget) {
                             if (auto* box = dynamic_cast<Controls::TextBox*>(widget))
                                 boxes.push_back(box);
                             for (const auto& child : widget->Children())
                                 collect(child.get());
                         };
                         collect(g_openDialog->Root());
                         for (std::size_t i = 0; i < c.texts.size(); ++i)
                             boxes.at(i)->SetText(c.texts[i]);
                         const std::u16string ask = Text(TextId::AskGuestsForPassword, language);
                         if (c.checkBox)
                             FindInTree<CheckBox>(g_openDialog->Root(), [&](const Widget& widget) {
                                 const auto* box = dynamic_cast<const CheckBox*>(&widget);
                                 return box && box->Text() == ask;
                             })->SetState(CheckState::Checked);
                     }});
                steps.push_back({[] { return true; },
                                 [] {
                                     s_x->Run({"xdotool", "key", "Return"});
                                 }});
                const std::u16string message = Text(c.message, language);
                steps.push_back({[message, buttonsFit] {
                                     return FindLabel(g_openDialog->Root(), message) != nullptr &&
                                            buttonsFit();
                                 },
                                 [] {}});
            }
            steps.push_back({[] { return true; }, [] { s_x->Run({"xdotool", "key", "Escape"}); }});
            auto run = StartSteps(std::move(steps));
            const Config config = Service().GetConfig();
            if (share) {
                Velto::Corvane::Share edited;
                EXPECT_FALSE(EditShareDialog(&window->Native(), config, edited, true, language));
            } else {
                Velto::Corvane::Account edited;
                EXPECT_FALSE(EditAccountDialog(&window->Native(), config, edited, true, language));
            }
            EXPECT_FALSE(run->timedOut) << "step " << run->next << " never came true; shown "
                                        << *lastShown << " high, buttons end at " << *lastEnd;
        }
    }
}

} // namespace
} // namespace App
