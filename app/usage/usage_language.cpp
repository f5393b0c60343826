#include "app/usage/usage_language.h"

#include "base/ascii_case.h"

#include <string_view>

namespace App {
namespace {

bool IsCLocale(std::string_view locale) {
    const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
    return language == "C" || language == "POSIX";
}

std::string Tag(std::string_view locale) {
    std::string tag;
    for (const char c : locale.substr(0, locale.find_first_of(".@"))) {
        tag += c == '_' ? '-' : Velto::AsciiLower(c);
    }
    return tag;
}

} // namespace

std::string UsageLanguage(const LocaleEnvironment& environment) {
    std::string_view locale;
    for (const std::string* value :
         {&environment.lcAll, &environment.lcMessages, &environment.lang}) {
        if (!value->empty()) {
            locale = *value;
            break;
        }
    }
    if (locale.empty() || IsCLocale(locale))
        return {};
    std::string_view entries = environment.language;
    while (!entries.empty()) {
        const std::size_t colon = entries.find(':');
        const std::string_view entry = entries.substr(0, colon);
        entries = colon == std::string_view::npos ? std::string_view{} : entries.substr(colon + 1);
        if (entry.empty())
            continue;
        return IsCLocale(entry) ? std::string{} : Tag(entry);
    }
    return Tag(locale);
}

} // namespace App
