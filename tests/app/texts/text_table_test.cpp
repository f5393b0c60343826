// The desktop program's texts: the table in both languages, placeholder
// replacement and the choice of language from the setting and the environment.

#include "app/texts/text_format.h"
#include "app/texts/text_table.h"
#include "app/texts/ui_language.h"
#include "base/utf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace App {
namespace {

using Velto::Utf16ToUtf8;
using Velto::Utf8ToUtf16;

std::string Utf8Text(TextId id, UiLanguage language) {
    return Utf16ToUtf8(Text(id, language));
}

const char* LanguageName(UiLanguage language) {
    return IsKorean(language) ? "ko" : "en";
}

// The "{n}" tokens of a text, sorted, with repeats.
std::vector<std::string> Placeholders(const std::string& text) {
    static const std::regex token(R"(\{[0-9]+\})");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), token);
         it != std::sregex_iterator(); ++it)
        found.push_back(it->str());
    std::sort(found.begin(), found.end());
    return found;
}

bool HasHangul(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) ||
               (c >= 0x3130 && c <= 0x318F);
    });
}

TEST(TextTableTest, EveryTextExistsInBothLanguages) {
    for (std::size_t i = 0; i < kTextCount; ++i) {
        const auto id = static_cast<TextId>(i);
        SCOPED_TRACE("text " + std::to_string(i));
        const std::u16string& korean = Text(id, UiLanguage::Korean);
        const std::u16string& english = Text(id, UiLanguage::English);
        EXPECT_FALSE(korean.empty());
        EXPECT_FALSE(english.empty());
        // A swapped or shifted column shows up as Hangul on the English side.
        EXPECT_FALSE(HasHangul(english)) << Utf16ToUtf8(english);
        // Both languages take the same arguments.
        EXPECT_EQ(Placeholders(Utf16ToUtf8(korean)), Placeholders(Utf16ToUtf8(english)));
        for (const std::u16string* text : {&korean, &english}) {
            EXPECT_NE(text->front(), u' ') << Utf16ToUtf8(*text);
            EXPECT_NE(text->back(), u' ') << Utf16ToUtf8(*text);
        }
    }
}

TEST(TextTableTest, ExactTexts) {
    struct Case {
        TextId id;
        std::string korean;
        std::string english;
    };
    const std::vector<Case> cases = {
        {TextId::AppName, "VeltoCorvane", "VeltoCorvane"},
        {TextId::PortInUse,
         "다른 프로그램이 이미 {0}번 포트를 쓰고 있습니다. ‘설정’에서 포트를 바꾸세요.",
         "Another program is already using port {0}. Change the port in Settings."},
        {TextId::TrafficSummary, "열린 연결 {0}개 · 보낸 데이터 {1} · 받은 데이터 {2}",
         "Open connections: {0} · Sent: {1} · Received: {2}"},
        {TextId::NameWithDetail, "{0}({1})", "{0} ({1})"},
        {TextId::InvalidShareName,
         "이름에는 / \\ : * ? \" < > | 문자를 쓸 수 없고, 맨 앞이나 맨 끝에 마침표를 둘 수 "
         "없습니다.",
         "A name cannot contain / \\ : * ? \" < > |, or start or end with a period."},
        {TextId::PermissionRulesHint,
         "쓰기나 삭제를 주면 읽기도 함께 줍니다.\n읽기 전용 공유 폴더와 공유한 파일에서는 읽기만 "
         "할 수 있습니다.",
         "Write and delete include read.\nIn read-only shared folders and in shared files, only "
         "read applies."},
        {TextId::UpnpSwitchedOff, "‘설정’의 ‘UPnP로 공유기의 포트 열기’가 꺼져 있습니다.",
         "“Open the port on the router with UPnP” is off in Settings."},
        {TextId::Ok, "확인", "OK"},
        {TextId::CannotDraw, "이 PC에서는 화면을 그릴 수 없습니다.",
         "This PC cannot draw the program's window."},
        // Texts that named Windows speak of the system in general here.
        {TextId::PortNotAllowed,
         "시스템이 {0}번 포트를 쓰지 못하게 막았습니다. ‘설정’에서 포트를 바꾸세요.",
         "The system does not allow port {0}. Change the port in Settings."},
        {TextId::RunAtSignIn, "로그인할 때 실행", "Run when I sign in"},
        {TextId::SameAsSystem, "시스템과 같게", "Same as the system"},
        {TextId::RunAtSignInFailed, "로그인 때 실행하도록 설정하지 못했습니다.",
         "Could not set the program to run when you sign in."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text " + std::to_string(static_cast<int>(c.id)));
        EXPECT_EQ(Utf8Text(c.id, UiLanguage::Korean), c.korean);
        EXPECT_EQ(Utf8Text(c.id, UiLanguage::English), c.english);
    }
}

TEST(TextTableTest, NoTextNamesWindowsOrItsTools) {
    for (std::size_t i = 0; i < kTextCount; ++i) {
        for (const UiLanguage language : {UiLanguage::Korean, UiLanguage::English}) {
            const std::string text = Utf8Text(static_cast<TextId>(i), language);
            for (const char* word : {"Windows", "Recycle Bin", "Explorer", "탐색기"})
                EXPECT_EQ(text.find(word), std::string::npos)
                    << "text " << i << " " << LanguageName(language) << ": " << text;
        }
    }
}

TEST(TextTableTest, KoreanBeforeAnyChoiceAndStableReferences) {
    EXPECT_EQ(Utf8Text(TextId::Accounts, UiLanguage{}), "계정");
    // Callers may keep the reference: every lookup hands out the same string.
    EXPECT_EQ(&Text(TextId::Accounts, UiLanguage::English),
              &Text(TextId::Accounts, UiLanguage::English));
    EXPECT_TRUE(Text(static_cast<TextId>(kTextCount), UiLanguage::English).empty());
}

TEST(FormatTest, ManualForwardingRuleRepeatsThePort) {
    EXPECT_EQ(Utf16ToUtf8(Format(TextId::ManualForwardingRule, UiLanguage::English,
                                 {u"8080", u"192.168.0.5"})),
              "To connect from the internet, add a port forwarding rule in the router's "
              "settings: external port 8080, internal IP address 192.168.0.5, internal port "
              "8080, protocol TCP.");
    EXPECT_EQ(Utf16ToUtf8(Format(TextId::ManualForwardingRule, UiLanguage::Korean,
                                 {u"8080", u"192.168.0.5"})),
              "인터넷에서 접속하려면 공유기 설정 화면에서 포트포워딩 규칙을 추가하세요. 외부 "
              "포트 8080, 내부 IP 주소 192.168.0.5, 내부 포트 8080, 프로토콜 TCP.");
}

TEST(FormatTest, ArgumentAfterALineBreak) {
    const std::string text =
        Utf16ToUtf8(Format(TextId::SettingsNotRead, UiLanguage::English, {u"config.json: line 3"}));
    EXPECT_TRUE(text.ends_with("until you change a setting.\nconfig.json: line 3")) << text;
    EXPECT_EQ(text.find("{0}"), std::string::npos);
}

TEST(FormatTest, PlaceholderRules) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> arguments;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"fewer arguments than tokens", "{0} and {1}", {"a"}, "a and {1}"},
        {"no arguments", "{0}", {}, "{0}"},
        {"more arguments than tokens", "{0}", {"a", "b"}, "a"},
        {"repeated and adjacent tokens", "{0}{0}{1}{0}", {"a", "b"}, "aaba"},
        {"empty argument", "[{0}][{0}]", {""}, "[][]"},
        {"later token inside an earlier argument", "<{0}>", {"x{1}y", "z"}, "<xzy>"},
        {"argument holding its own token", "{0}-{0}", {"[{0}]"}, "[{0}]-[{0}]"},
        {"earlier token inside a later argument", "{1}", {"a", "{0}"}, "{0}"},
        {"two-digit index",
         "{1}{10}{1}",
         {"a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "a10"},
         "a1a10a1"},
        {"tokens of another shape stay",
         "{ 0} {0 } {00} {-0} 0} {0",
         {"a"},
         "{ 0} {0 } {00} {-0} 0} {0"},
        {"text without tokens", "plain", {"a"}, "plain"},
        {"non-ASCII text and arguments",
         "‘{0}’ 공유를 중지할까요?",
         {"사진 “2024”"},
         "‘사진 “2024”’ 공유를 중지할까요?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::u16string> owned;
        for (const std::string& argument : c.arguments)
            owned.push_back(Utf8ToUtf16(argument));
        const std::vector<std::u16string_view> arguments(owned.begin(), owned.end());
        EXPECT_EQ(Utf16ToUtf8(FormatText(Utf8ToUtf16(c.text), arguments)), c.expected);
    }
}

TEST(UiLanguageTest, SystemLanguageFromTheEnvironment) {
    struct Case {
        const char* name;
        LocaleEnvironment environment; // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
        UiLanguage expected;
    };
    constexpr UiLanguage ko = UiLanguage::Korean;
    constexpr UiLanguage en = UiLanguage::English;
    const std::vector<Case> cases = {
        {"nothing set", {"", "", "", ""}, en},
        {"LANG Korean", {"", "", "", "ko_KR.UTF-8"}, ko},
        {"LANG bare ko", {"", "", "", "ko"}, ko},
        {"LANG ko with codeset only", {"", "", "", "ko.UTF-8"}, ko},
        {"LANG ko with modifier", {"", "", "", "ko_KR@latin"}, ko},
        {"LANG English", {"", "", "", "en_US.UTF-8"}, en},
        {"LANG German", {"", "", "", "de_DE.UTF-8"}, en},
        {"Konkani is not Korean", {"", "", "", "kok_IN"}, en},
        {"upper-case KO is no locale name", {"", "", "", "KO_KR.UTF-8"}, en},
        {"LC_MESSAGES over LANG", {"", "", "ko_KR.UTF-8", "en_US.UTF-8"}, ko},
        {"LC_ALL over LC_MESSAGES", {"", "en_US.UTF-8", "ko_KR.UTF-8", "ko_KR.UTF-8"}, en},
        {"LC_ALL Korean over LANG", {"", "ko_KR.UTF-8", "", "en_US.UTF-8"}, ko},
        {"LANGUAGE over LC_ALL", {"ko", "en_US.UTF-8", "", ""}, ko},
        {"LANGUAGE English over a Korean locale", {"en_GB", "", "", "ko_KR.UTF-8"}, en},
        {"LANGUAGE skips languages without texts", {"fr:ko_KR:en", "", "", "en_US.UTF-8"}, ko},
        {"LANGUAGE first known entry wins", {"en:ko", "", "", "ko_KR.UTF-8"}, en},
        {"LANGUAGE empty entries", {"::ko:", "", "", "en_US.UTF-8"}, ko},
        {"LANGUAGE without known entries stays untranslated", {"fr:de", "", "", "ko_KR.UTF-8"}, en},
        {"LANGUAGE C entry ends the search", {"C:ko", "", "", "ko_KR.UTF-8"}, en},
        {"LANGUAGE ignored in the C locale", {"ko", "", "", "C"}, en},
        {"LANGUAGE ignored when LC_ALL is POSIX", {"ko", "POSIX", "", "ko_KR.UTF-8"}, en},
        {"LANGUAGE ignored without a locale", {"ko", "", "", ""}, en},
        {"LANGUAGE honoured in C.UTF-8", {"ko", "", "", "C.UTF-8"}, ko},
        {"C.UTF-8 alone", {"", "", "", "C.UTF-8"}, en},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SystemUiLanguage(c.environment), c.expected) << c.name;
}

TEST(UiLanguageTest, SettingDecidesElseTheSystem) {
    struct Case {
        std::u16string configured;
        UiLanguage system;
        UiLanguage expected;
    };
    constexpr UiLanguage ko = UiLanguage::Korean;
    constexpr UiLanguage en = UiLanguage::English;
    const std::vector<Case> cases = {
        {u"ko", en, ko}, {u"en", ko, en}, {u"", ko, ko},      {u"", en, en},
        {u"KO", en, en}, {u"EN", ko, ko}, {u"ko_KR", en, en}, {u"fr", ko, ko},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseUiLanguage(c.configured, c.system), c.expected)
            << "\"" << Utf16ToUtf8(c.configured) << "\" on a " << LanguageName(c.system)
            << " system";
}

// Sets the locale variables for one test and puts the old values back.
class LocaleVariables {
public:
    LocaleVariables() {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    ~LocaleVariables() {
        for (std::size_t i = 0; i < std::size(kNames); ++i) {
            if (m_saved[i])
                setenv(kNames[i], m_saved[i]->c_str(), 1);
            else
                unsetenv(kNames[i]);
        }
    }
    LocaleVariables(const LocaleVariables&) = delete;
    LocaleVariables& operator=(const LocaleVariables&) = delete;

    static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

private:
    std::vector<std::optional<std::string>> m_saved;
};

TEST(UiLanguageTest, ReadsTheFourVariables) {
    const LocaleVariables restore;
    setenv("LANGUAGE", "fr:ko", 1);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    setenv("LC_MESSAGES", "ja_JP.UTF-8", 1);
    setenv("LANG", "en_US.UTF-8", 1);
    const LocaleEnvironment environment = ReadLocaleEnvironment();
    EXPECT_EQ(environment.language, "fr:ko");
    EXPECT_EQ(environment.lcAll, "de_DE.UTF-8");
    EXPECT_EQ(environment.lcMessages, "ja_JP.UTF-8");
    EXPECT_EQ(environment.lang, "en_US.UTF-8");
}

} // namespace
} // namespace App
