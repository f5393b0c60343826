#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace Velto::Widget::Kit {

// The toolkit's own texts (dialog buttons, edit-menu items, accessible
// names) in five languages; "&" marks a menu label's access key.
enum StandardLabelId : std::uint32_t {
    kLabelOk = 0,
    kLabelCancel = 1,
    kLabelYes = 2,
    kLabelNo = 3,
    kLabelClose = 4,
    kLabelUndo = 5,
    kLabelCut = 6,
    kLabelCopy = 7,
    kLabelPaste = 8,
    kLabelDelete = 9,
    kLabelSelectAll = 10,
    kLabelToggleSwitch = 11,
    kLabelList = 12,
    kLabelTree = 13,
    kLabelVerticalScrollBar = 14,
    kLabelHorizontalScrollBar = 15,
    kLabelAscending = 16,
    kLabelDescending = 17,
    kLabelMoreOptions = 18,
    kLabelColor = 19,
    kLabelRecentColors = 20,
    kLabelHex = 21,
    kLabelRed = 22,
    kLabelGreen = 23,
    kLabelBlue = 24,
    kLabelOpacity = 25,
    kLabelHue = 26,
    kLabelSaturationBrightness = 27,
    kLabelPalette = 28,
    kLabelNone = 29,
    kLabelPressShortcut = 30,
    kLabelClearShortcut = 31,
};
constexpr std::uint32_t kStandardLabelCount = 32;

// Label languages.
enum LabelLanguageIndex : int {
    kLanguageEnglish = 0,
    kLanguageKorean = 1,
    kLanguageJapanese = 2,
    kLanguageSimplifiedChinese = 3,
    kLanguageTraditionalChinese = 4,
};
constexpr int kLabelLanguageCount = 5;

// The label in the current label language; empty for an unknown id.
std::u16string_view StandardLabel(std::uint32_t id);
// The label in a given language; empty for an unknown id or language.
std::u16string_view StandardLabelIn(std::uint32_t id, int language);

// Overrides the label language (none: follow the system). Atomic.
void SetLabelLanguage(std::optional<int> language);
// The override when set, else the system's.
int LabelLanguage();
// The system's label language, derived once per process from LANGUAGE,
// LC_ALL, LC_MESSAGES and LANG.
int SystemLabelLanguage();

// The label language for a locale name such as "ko_KR.UTF-8", "zh_HK" or
// "de": Korean, Japanese, Traditional Chinese for Taiwan, Hong Kong and
// Macau (and the Hant script), Simplified for other Chinese, else English.
int LabelLanguageForLocale(std::string_view locale);
// The first usable locale from the environment's values, in the order the
// C library reads them: LANGUAGE (a colon-separated list) when the locale is
// not "C", then LC_ALL, LC_MESSAGES and LANG.
int LabelLanguageFromEnvironment(std::string_view language, std::string_view lcAll,
                                 std::string_view lcMessages, std::string_view lang);

} // namespace Velto::Widget::Kit
