#include "app/texts/ui_language.h"

#include "base/environment_variable.h"

namespace App {
namespace {

// The language part of a locale name: "ko" in "ko_KR.UTF-8@euro".
std::string_view LanguagePart(std::string_view locale) {
    return locale.substr(0, locale.find_first_of("_.@"));
}

// gettext shows untranslated messages in the C locale and ignores LANGUAGE
// there; "C.UTF-8" is a locale of its own and does not count.
bool IsCLocale(std::string_view locale) {
    return locale == "C" || locale == "POSIX";
}

UiLanguage FromLocale(std::string_view locale) {
    return LanguagePart(locale) == "ko" ? UiLanguage::Korean : UiLanguage::English;
}

std::string_view MessagesLocale(const LocaleEnvironment& environment) {
    for (const std::string* value :
         {&environment.lcAll, &environment.lcMessages, &environment.lang}) {
        if (!value->empty())
            return *value;
    }
    return {};
}

} // namespace

LocaleEnvironment ReadLocaleEnvironment() {
    return {
        .language = Velto::EnvironmentVariable("LANGUAGE"),
        .lcAll = Velto::EnvironmentVariable("LC_ALL"),
        .lcMessages = Velto::EnvironmentVariable("LC_MESSAGES"),
        .lang = Velto::EnvironmentVariable("LANG"),
    };
}

UiLanguage SystemUiLanguage(const LocaleEnvironment& environment) {
    const std::string_view locale = MessagesLocale(environment);
    if (locale.empty() || IsCLocale(locale))
        return UiLanguage::English;
    if (environment.language.empty())
        return FromLocale(locale);

    // The first entry we have texts for wins. A "C" entry ends the search with
    // untranslated (English) texts, and so does running out of entries: gettext
    // does not fall back to the locale variables once LANGUAGE is in charge.
    std::string_view rest = environment.language;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view entry = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        if (entry.empty())
            continue;
        if (IsCLocale(entry))
            return UiLanguage::English;
        const std::string_view language = LanguagePart(entry);
        if (language == "ko")
            return UiLanguage::Korean;
        if (language == "en")
            return UiLanguage::English;
    }
    return UiLanguage::English;
}

UiLanguage ChooseUiLanguage(std::u16string_view configured, UiLanguage system) {
    if (configured == u"ko")
        return UiLanguage::Korean;
    if (configured == u"en")
        return UiLanguage::English;
    return system;
}

} // namespace App
