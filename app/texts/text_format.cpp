#include "app/texts/text_format.h"

#include "app/texts/text_table.h"

namespace App {
namespace {

std::u16string PlaceholderToken(std::size_t index) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + index % 10));
        index /= 10;
    } while (index != 0);
    return u"{" + digits + u"}";
}

} // namespace

std::u16string FormatText(std::u16string_view text,
                          std::span<const std::u16string_view> arguments) {
    std::u16string result(text);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::u16string token = PlaceholderToken(i);
        const std::u16string_view argument = arguments[i];
        std::size_t at = result.find(token);
        while (at != std::u16string::npos) {
            result.replace(at, token.size(), argument);
            at = result.find(token, at + argument.size());
        }
    }
    return result;
}

std::u16string Format(TextId id, UiLanguage language,
                      std::initializer_list<std::u16string_view> arguments) {
    return FormatText(Text(id, language),
                      std::span<const std::u16string_view>(arguments.begin(), arguments.size()));
}

} // namespace App
