// The standard labels, the label language taken from the locale, and the
// translation of SDL's input values.
#include "widget/input/key_codes.h"
#include "widget/window/sdl_input.h"
#include "widget/window/standard_labels.h"
#include "widget/window/x_resources.h"

#include <SDL2/SDL_keycode.h>
#include <gtest/gtest.h>

namespace Velto::Widget {
namespace {

using namespace Kit;

TEST(StandardLabelsTest, TableInEveryLanguage) {
    struct Row {
        std::uint32_t id;
        std::u16string_view texts[kLabelLanguageCount];
    };
    const Row rows[] = {
        {kLabelOk, {u"OK", u"확인", u"OK", u"确定", u"確定"}},
        {kLabelNo, {u"No", u"아니요", u"いいえ", u"否", u"否"}},
        {kLabelCut, {u"Cu&t", u"잘라내기(&T)", u"切り取り(&T)", u"剪切(&T)", u"剪下(&T)"}},
        {kLabelSelectAll,
         {u"Select &All", u"모두 선택(&A)", u"すべて選択(&A)", u"全选(&A)", u"全選(&A)"}},
        {kLabelHorizontalScrollBar,
         {u"Horizontal scroll bar", u"가로 스크롤 막대", u"水平スクロール バー", u"水平滚动条",
          u"水平捲軸"}},
        {kLabelSaturationBrightness,
         {u"Saturation and brightness", u"채도와 밝기", u"彩度と明度", u"饱和度和亮度",
          u"飽和度和亮度"}},
        {kLabelClearShortcut,
         {u"Clear shortcut", u"단축키 지우기", u"ショートカットを消去", u"清除快捷键",
          u"清除快速鍵"}},
    };
    for (const Row& row : rows)
        for (int language = 0; language < kLabelLanguageCount; ++language)
            EXPECT_EQ(StandardLabelIn(row.id, language), row.texts[language])
                << "label " << row.id << " language " << language;
    for (std::uint32_t id = 0; id < kStandardLabelCount; ++id)
        for (int language = 0; language < kLabelLanguageCount; ++language)
            EXPECT_FALSE(StandardLabelIn(id, language).empty()) << id << " " << language;
    EXPECT_TRUE(StandardLabelIn(kStandardLabelCount, 0).empty());
    EXPECT_TRUE(StandardLabelIn(0, kLabelLanguageCount).empty());
}

TEST(StandardLabelsTest, TheOverrideWinsUntilCleared) {
    SetLabelLanguage(kLanguageKorean);
    EXPECT_EQ(LabelLanguage(), kLanguageKorean);
    EXPECT_EQ(StandardLabel(kLabelCancel), u"취소");
    EXPECT_TRUE(StandardLabel(32).empty());
    SetLabelLanguage(kLanguageTraditionalChinese);
    EXPECT_EQ(StandardLabel(kLabelClose), u"關閉");
    SetLabelLanguage(std::nullopt);
    EXPECT_EQ(LabelLanguage(), SystemLabelLanguage());
    // An index outside the table is no override.
    SetLabelLanguage(9);
    EXPECT_EQ(LabelLanguage(), SystemLabelLanguage());
}

TEST(StandardLabelsTest, LanguageOfALocale) {
    const std::pair<const char*, int> cases[] = {
        {"ko_KR.UTF-8", kLanguageKorean},
        {"ja_JP.UTF-8", kLanguageJapanese},
        {"zh_HK.UTF-8", kLanguageTraditionalChinese},
        {"zh_TW", kLanguageTraditionalChinese},
        {"zh_MO.UTF-8", kLanguageTraditionalChinese},
        {"zh_SG.UTF-8", kLanguageSimplifiedChinese},
        {"zh_CN.GB18030", kLanguageSimplifiedChinese},
        {"zh", kLanguageSimplifiedChinese},
        {"de_DE.UTF-8", kLanguageEnglish},
        {"de", kLanguageEnglish},
        {"en_US.UTF-8", kLanguageEnglish},
        {"C.UTF-8", kLanguageEnglish},
        {"", kLanguageEnglish},
    };
    for (const auto& [locale, language] : cases)
        EXPECT_EQ(LabelLanguageForLocale(locale), language) << locale;
}

TEST(StandardLabelsTest, LanguageFromTheEnvironment) {
    struct Case {
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        int expected;
    };
    const Case cases[] = {
        {"", "", "", "ko_KR.UTF-8", kLanguageKorean},
        {"", "", "zh_HK.UTF-8", "en_US.UTF-8", kLanguageTraditionalChinese},
        {"", "de_DE.UTF-8", "ko_KR.UTF-8", "ko_KR.UTF-8", kLanguageEnglish},
        // LANGUAGE lists preferences; the first one with labels wins.
        {"de:ja", "", "", "en_US.UTF-8", kLanguageJapanese},
        {"zh_SG:ko", "", "", "ko_KR.UTF-8", kLanguageSimplifiedChinese},
        // The C locale ignores LANGUAGE.
        {"ko", "C", "", "", kLanguageEnglish},
        {"ko", "", "", "", kLanguageEnglish},
        {"", "", "", "", kLanguageEnglish},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LabelLanguageFromEnvironment(c.language, c.lcAll, c.lcMessages, c.lang),
                  c.expected)
            << c.language << "|" << c.lcAll << "|" << c.lcMessages << "|" << c.lang;
}

TEST(InputTranslationTest, VirtualKeys) {
    const std::tuple<SDL_Keycode, SDL_Scancode, std::uint32_t> cases[] = {
        {SDLK_a, SDL_SCANCODE_A, 'A'},
        {SDLK_z, SDL_SCANCODE_Z, 'Z'},
        {SDLK_7, SDL_SCANCODE_7, '7'},
        {SDLK_RETURN, SDL_SCANCODE_RETURN, kKeyEnter},
        {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, kKeyEnter},
        {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, kKeyEscape},
        {SDLK_TAB, SDL_SCANCODE_TAB, kKeyTab},
        {SDLK_LEFT, SDL_SCANCODE_LEFT, kKeyLeft},
        {SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN, kKeyPageDown},
        {SDLK_DELETE, SDL_SCANCODE_DELETE, kKeyDelete},
        {SDLK_F1, SDL_SCANCODE_F1, kKeyF1},
        {SDLK_F12, SDL_SCANCODE_F12, kKeyF12},
        {SDLK_RALT, SDL_SCANCODE_RALT, kKeyAlt},
        {SDLK_LCTRL, SDL_SCANCODE_LCTRL, kKeyCtrl},
        {SDLK_APPLICATION, SDL_SCANCODE_APPLICATION, kKeyApps},
        {SDLK_KP_5, SDL_SCANCODE_KP_5, 101},
        {SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, 186},
        // A key of a non-Latin layout still counts where it sits.
        {0x0444, SDL_SCANCODE_A, 'A'},
        {SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN, 0},
    };
    for (const auto& [keycode, scancode, expected] : cases)
        EXPECT_EQ(VirtualKeyOf(keycode, scancode), expected) << keycode;
}

TEST(InputTranslationTest, KeyEventsCarryModifiersAndFlags) {
    const KeyEvent shiftTab = KeyEventOf(SDLK_TAB, SDL_SCANCODE_TAB, KMOD_LSHIFT, false);
    EXPECT_EQ(shiftTab.modifiers, kModShift);
    EXPECT_FALSE(shiftTab.systemKey);
    const KeyEvent altF = KeyEventOf(SDLK_f, SDL_SCANCODE_F, KMOD_LALT | KMOD_RCTRL, true);
    EXPECT_EQ(altF.modifiers, kModCtrl | kModAlt);
    EXPECT_TRUE(altF.repeat);
    EXPECT_TRUE(altF.systemKey);
    EXPECT_TRUE(KeyEventOf(SDLK_HOME, SDL_SCANCODE_HOME, 0, false).extended);
    EXPECT_FALSE(KeyEventOf(SDLK_KP_7, SDL_SCANCODE_KP_7, 0, false).extended);
    EXPECT_EQ(ModifiersOf(KMOD_CAPS | KMOD_NUM), 0u);
}

TEST(InputTranslationTest, ClicksButtonsAndCompositionOffsets) {
    // Every second click of a series is a double click.
    EXPECT_EQ(ClickCountOf(1), 1);
    EXPECT_EQ(ClickCountOf(2), 2);
    EXPECT_EQ(ClickCountOf(3), 1);
    EXPECT_EQ(ClickCountOf(4), 2);
    EXPECT_EQ(PointerButtonOf(1), PointerButton::Left);
    EXPECT_EQ(PointerButtonOf(2), PointerButton::Middle);
    EXPECT_EQ(PointerButtonOf(3), PointerButton::Right);
    EXPECT_EQ(PointerButtonOf(4), PointerButton::None);
    // Code points to UTF-16 units: the emoji is a surrogate pair.
    EXPECT_EQ(Utf16OffsetOf(u"한😀글", 2), 3);
    EXPECT_EQ(Utf16OffsetOf(u"한글", 5), 2);
    EXPECT_EQ(Utf16OffsetOf(u"", 1), 0);
}

TEST(XResourcesTest, XftDpi) {
    EXPECT_EQ(XftDpiFromResources("Xft.antialias:\t1\nXft.dpi:\t192\n"), 192.0f);
    EXPECT_EQ(XftDpiFromResources("Xft.dpi: 96\nXft.dpi: 144.5"), 144.5f);
    EXPECT_EQ(XftDpiFromResources("Xft*dpi:120"), 120.0f);
    EXPECT_EQ(XftDpiFromResources("*.dpi: 120\nXcursor.size: 24"), std::nullopt);
    EXPECT_EQ(XftDpiFromResources("Xft.dpi: lots"), std::nullopt);
    EXPECT_EQ(XftDpiFromResources("Xft.dpi: 0"), std::nullopt);
    EXPECT_EQ(XftDpiFromResources(""), std::nullopt);
}

} // namespace
} // namespace Velto::Widget
