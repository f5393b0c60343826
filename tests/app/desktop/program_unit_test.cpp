// The desktop program's small pure pieces: the tray menu for each server
// state and language, the command a second copy forwards, the file names of
// dialog captures, and the drawn icons.
#include "app/desktop/run_program.h"
#include "app/desktop/screenshots/dialog_shots.h"
#include "app/desktop/screenshots/shot_scale.h"
#include "app/desktop/tray/tray_icons.h"
#include "app/desktop/tray/tray_menu.h"
#include "base/utf.h"
#include "widget/render/cairo_canvas.h"

#include <gtest/gtest.h>

namespace App {
namespace {

using Velto::Widget::MenuItem;

std::string U8(std::u16string_view text) {
    return Velto::Utf16ToUtf8(text);
}

TEST(TrayMenuTest, ItemsFollowTheServerState) {
    struct Case {
        const char* name;
        TrayMenuState state;
        UiLanguage language;
        std::vector<std::string> texts;
        bool copyEnabled;
    };
    const std::vector<Case> cases = {
        {"stopped",
         {false, false},
         UiLanguage::English,
         {"Open", "Start server", "Copy address", "", "Exit"},
         false},
        {"running",
         {true, true},
         UiLanguage::English,
         {"Open", "Stop server", "Copy address", "", "Exit"},
         true},
        {"running without an address",
         {true, false},
         UiLanguage::English,
         {"Open", "Stop server", "Copy address", "", "Exit"},
         false},
        // A stale address flag means nothing while the server is off.
        {"stopped with an address",
         {false, true},
         UiLanguage::English,
         {"Open", "Start server", "Copy address", "", "Exit"},
         false},
        {"Korean",
         {true, true},
         UiLanguage::Korean,
         {"열기", "서버 끄기", "주소 복사", "", "종료"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<MenuItem> items = BuildTrayMenu(c.state, c.language);
        ASSERT_EQ(items.size(), 5u);
        std::vector<std::string> texts;
        for (const MenuItem& item : items)
            texts.push_back(U8(item.text));
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(items[0].id, kTrayOpen);
        EXPECT_EQ(items[1].id, kTrayToggleServer);
        EXPECT_EQ(items[2].id, kTrayCopyAddress);
        EXPECT_TRUE(items[3].IsSeparator());
        EXPECT_EQ(items[4].id, kTrayExit);
        EXPECT_EQ(items[2].enabled, c.copyEnabled);
        EXPECT_TRUE(items[0].enabled && items[1].enabled && items[4].enabled);
    }
}

TEST(ForwardedCommandTest, QuitWinsThenDropThenShow) {
    CommandLine line;
    EXPECT_EQ(U8(ForwardedCommand(line)), "show");
    line.drop = "/home/me/사진 폴더";
    EXPECT_EQ(U8(ForwardedCommand(line)), "drop:/home/me/사진 폴더");
    line.quit = true;
    EXPECT_EQ(U8(ForwardedCommand(line)), "quit");
}

TEST(DialogShotsTest, TitlesBecomeSafeFileNames) {
    const std::vector<std::pair<std::u16string, std::string>> cases = {
        {u"Add shared folder", "dialog-Add_shared_folder.png"},
        {u"공유 폴더 추가", "dialog-공유_폴더_추가.png"},
        {u"a<b>c:d\"e/f\\g|h?i*j", "dialog-a_b_c_d_e_f_g_h_i_j.png"},
        {u"../../etc/passwd", "dialog-.._.._etc_passwd.png"},
        {u"line\nbreak\ttab", "dialog-line_break_tab.png"},
        {u"", "dialog-.png"},
    };
    for (const auto& [title, name] : cases)
        EXPECT_EQ(DialogShots::FileName(title), name) << U8(title);
}

TEST(ShotScaleTest, APlainDecimalFromOneToFour) {
    const std::vector<std::pair<std::string, std::optional<float>>> cases = {
        {"", 1.0f},
        {"1", 1.0f},
        {"2", 2.0f},
        {"1.5", 1.5f},
        {"4", 4.0f},
        {"2.0", 2.0f},
        {"0.5", std::nullopt},
        {"0", std::nullopt},
        {"4.5", std::nullopt},
        {"-2", std::nullopt},
        {"+2", std::nullopt},
        {"2x", std::nullopt},
        {"200%", std::nullopt},
        {"1e0", std::nullopt},
        {"nan", std::nullopt},
        {".", std::nullopt},
        {" 2", std::nullopt},
        {"2.5.1", std::nullopt},
    };
    for (const auto& [text, scale] : cases)
        EXPECT_EQ(ShotScaleFromText(text), scale) << text;
}

TEST(ProgramIconTest, RunningAndStoppedDifferAtEverySize) {
    for (const int size : {16, 22, 24, 32, 48, 64, 256}) {
        SCOPED_TRACE(size);
        const auto running = ProgramIconBitmap(size, true);
        const auto stopped = ProgramIconBitmap(size, false);
        ASSERT_TRUE(running && stopped);
        EXPECT_EQ(running->PixelWidth(), size);
        EXPECT_EQ(running->PixelHeight(), size);
        // The tile's middle shows its colour: blue while running, grey while
        // stopped.
        Velto::Widget::CairoCanvas on(size, size, 1.0f);
        Velto::Widget::CairoCanvas off(size, size, 1.0f);
        DrawProgramIcon(on, static_cast<float>(size), true);
        DrawProgramIcon(off, static_cast<float>(size), false);
        const int edge = std::max(1, size / 10);
        const Velto::Widget::Rgba8 blue = on.PixelAt(edge + 1, size / 2);
        const Velto::Widget::Rgba8 grey = off.PixelAt(edge + 1, size / 2);
        EXPECT_GT(blue.b, blue.r + 100);
        EXPECT_EQ(grey.r, grey.b);
        EXPECT_EQ(blue.a, 255);
        // The corners stay clear for the panel's background.
        EXPECT_EQ(on.PixelAt(0, 0).a, 0);
    }
    EXPECT_EQ(ProgramIconBitmap(0, true), nullptr);
    EXPECT_EQ(ProgramIconBitmap(kMaxProgramIconPixels + 1, true), nullptr);
    EXPECT_TRUE(TrayIconFor(true).provider);
}

} // namespace
} // namespace App
