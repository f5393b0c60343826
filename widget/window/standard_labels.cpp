#include "widget/window/standard_labels.h"

#include "base/environment_variable.h"

#include <array>
#include <atomic>

namespace Velto::Widget::Kit {
namespace {

using LabelRow = std::array<std::u16string_view, kLabelLanguageCount>;

// English, Korean, Japanese, Simplified Chinese, Traditional Chinese.
constexpr std::array<LabelRow, kStandardLabelCount> kLabels = {{
    {u"OK", u"확인", u"OK", u"确定", u"確定"},
    {u"Cancel", u"취소", u"キャンセル", u"取消", u"取消"},
    {u"Yes", u"예", u"はい", u"是", u"是"},
    {u"No", u"아니요", u"いいえ", u"否", u"否"},
    {u"Close", u"닫기", u"閉じる", u"关闭", u"關閉"},
    {u"&Undo", u"실행 취소(&U)", u"元に戻す(&U)", u"撤销(&U)", u"復原(&U)"},
    {u"Cu&t", u"잘라내기(&T)", u"切り取り(&T)", u"剪切(&T)", u"剪下(&T)"},
    {u"&Copy", u"복사(&C)", u"コピー(&C)", u"复制(&C)", u"複製(&C)"},
    {u"&Paste", u"붙여넣기(&P)", u"貼り付け(&P)", u"粘贴(&P)", u"貼上(&P)"},
    {u"&Delete", u"삭제(&D)", u"削除(&D)", u"删除(&D)", u"刪除(&D)"},
    {u"Select &All", u"모두 선택(&A)", u"すべて選択(&A)", u"全选(&A)", u"全選(&A)"},
    {u"toggle switch", u"토글 스위치", u"トグル スイッチ", u"切换开关", u"切換開關"},
    {u"List", u"목록", u"リスト", u"列表", u"清單"},
    {u"Tree", u"트리", u"ツリー", u"树状结构", u"樹狀結構"},
    {u"Vertical scroll bar", u"세로 스크롤 막대", u"垂直スクロール バー", u"垂直滚动条",
     u"垂直捲軸"},
    {u"Horizontal scroll bar", u"가로 스크롤 막대", u"水平スクロール バー", u"水平滚动条",
     u"水平捲軸"},
    {u"Ascending", u"오름차순", u"昇順", u"升序", u"遞增"},
    {u"Descending", u"내림차순", u"降順", u"降序", u"遞減"},
    {u"More options", u"옵션 더 보기", u"その他のオプション", u"更多选项", u"更多選項"},
    {u"Color", u"색", u"色", u"颜色", u"色彩"},
    {u"Recent colors", u"최근 색", u"最近使った色", u"最近使用的颜色", u"最近使用的色彩"},
    {u"Hex", u"16진수", u"16進数", u"十六进制", u"十六進位"},
    {u"Red", u"빨강", u"赤", u"红", u"紅"},
    {u"Green", u"초록", u"緑", u"绿", u"綠"},
    {u"Blue", u"파랑", u"青", u"蓝", u"藍"},
    {u"Opacity", u"불투명도", u"不透明度", u"不透明度", u"不透明度"},
    {u"Hue", u"색조", u"色相", u"色调", u"色調"},
    {u"Saturation and brightness", u"채도와 밝기", u"彩度と明度", u"饱和度和亮度", u"飽和度和亮度"},
    {u"Palette", u"팔레트", u"パレット", u"调色板", u"調色盤"},
    {u"None", u"없음", u"なし", u"无", u"無"},
    {u"Press a shortcut", u"단축키를 누르세요", u"ショートカットを押してください", u"请按快捷键",
     u"請按快速鍵"},
    {u"Clear shortcut", u"단축키 지우기", u"ショートカットを消去", u"清除快捷键", u"清除快速鍵"},
}};

constexpr int kNoOverride = -1;

std::atomic<int>& Override() {
    static std::atomic<int> language{kNoOverride};
    return language;
}

std::string_view LanguagePart(std::string_view locale) {
    return locale.substr(0, locale.find_first_of("_.@"));
}

// The territory part: "HK" in "zh_HK.UTF-8".
std::string_view TerritoryPart(std::string_view locale) {
    const std::size_t underscore = locale.find('_');
    if (underscore == std::string_view::npos)
        return {};
    const std::string_view rest = locale.substr(underscore + 1);
    return rest.substr(0, rest.find_first_of(".@"));
}

bool IsCLocale(std::string_view locale) {
    return locale == "C" || locale == "POSIX";
}

// The label language of a locale we have labels for; none for others.
std::optional<int> KnownLanguage(std::string_view locale) {
    const std::string_view language = LanguagePart(locale);
    if (language == "en")
        return kLanguageEnglish;
    if (language == "ko")
        return kLanguageKorean;
    if (language == "ja")
        return kLanguageJapanese;
    if (language == "zh") {
        const std::string_view territory = TerritoryPart(locale);
        // Taiwan, Hong Kong and Macau write Traditional Chinese, and so does
        // any name that gives the Hant script.
        const bool traditional = territory == "TW" || territory == "HK" || territory == "MO" ||
                                 locale.find("Hant") != std::string_view::npos;
        return traditional ? kLanguageTraditionalChinese : kLanguageSimplifiedChinese;
    }
    return std::nullopt;
}

} // namespace

std::u16string_view StandardLabelIn(std::uint32_t id, int language) {
    if (id >= kStandardLabelCount || language < 0 || language >= kLabelLanguageCount)
        return {};
    return kLabels[id][static_cast<std::size_t>(language)];
}

std::u16string_view StandardLabel(std::uint32_t id) {
    return StandardLabelIn(id, LabelLanguage());
}

void SetLabelLanguage(std::optional<int> language) {
    if (language && (*language < 0 || *language >= kLabelLanguageCount))
        language.reset();
    Override().store(language.value_or(kNoOverride));
}

int LabelLanguage() {
    const int language = Override().load();
    return language == kNoOverride ? SystemLabelLanguage() : language;
}

int SystemLabelLanguage() {
    // Thread-safe once-only initialisation of a function-local static.
    static const int language = LabelLanguageFromEnvironment(
        EnvironmentVariable("LANGUAGE"), EnvironmentVariable("LC_ALL"),
        EnvironmentVariable("LC_MESSAGES"), EnvironmentVariable("LANG"));
    return language;
}

int LabelLanguageForLocale(std::string_view locale) {
    return KnownLanguage(locale).value_or(kLanguageEnglish);
}

int LabelLanguageFromEnvironment(std::string_view language, std::string_view lcAll,
                                 std::string_view lcMessages, std::string_view lang) {
    std::string_view locale;
    for (const std::string_view value : {lcAll, lcMessages, lang}) {
        if (!value.empty()) {
            locale = value;
            break;
        }
    }
    // Messages stay untranslated in the C locale, whatever LANGUAGE says.
    if (locale.empty() || IsCLocale(locale))
        return kLanguageEnglish;
    if (language.empty())
        return LabelLanguageForLocale(locale);
    // The first entry we have labels for wins, as gettext picks catalogues.
    while (!language.empty()) {
        const std::size_t colon = language.find(':');
        const std::string_view entry = language.substr(0, colon);
        language =
            colon == std::string_view::npos ? std::string_view{} : language.substr(colon + 1);
        if (IsCLocale(entry))
            return kLanguageEnglish;
        if (const std::optional<int> known = KnownLanguage(entry))
            return *known;
    }
    return kLanguageEnglish;
}

} // namespace Velto::Widget::Kit
