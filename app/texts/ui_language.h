#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace App {

// The language of the program's texts. A value-initialised UiLanguage is
// Korean, the language the program shows before it has applied a choice.
enum class UiLanguage : std::uint8_t { Korean = 0, English = 1 };

constexpr bool IsKorean(UiLanguage language) {
    return language == UiLanguage::Korean;
}

// The variables that name the user's language for messages, as gettext reads
// them. Empty means unset.
struct LocaleEnvironment {
    std::string language;   // LANGUAGE: a colon-separated priority list
    std::string lcAll;      // LC_ALL
    std::string lcMessages; // LC_MESSAGES
    std::string lang;       // LANG
};

LocaleEnvironment ReadLocaleEnvironment();

// The user's language as gettext would pick it: the messages locale is the
// first of LC_ALL, LC_MESSAGES and LANG that is set; unless that is the C
// locale, LANGUAGE (when set) takes over, and its first entry that is Korean
// or English decides. A locale or entry whose language part is "ko"
// ("ko", "ko_KR.UTF-8") means Korean; anything else means English.
UiLanguage SystemUiLanguage(const LocaleEnvironment& environment);

// The program's language from its `language` setting: "ko" Korean, "en"
// English, anything else (empty, "KO", ...) follows the system.
UiLanguage ChooseUiLanguage(std::u16string_view configured, UiLanguage system);

} // namespace App
