#include "webapp/links/invalid_link_page.h"

#include <algorithm>
#include <charconv>

namespace Velto::Corvane {
namespace {

constexpr std::string_view kEnglishText = "This link is no longer valid.";
constexpr std::string_view kKoreanText = "이 링크는 더 이상 유효하지 않습니다.";

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool IsLanguage(std::string_view range, std::string_view language) {
    if (range.size() < language.size())
        return false;
    for (std::size_t i = 0; i < language.size(); ++i) {
        const char c = range[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != language[i])
            return false;
    }
    return range.size() == language.size() || range[language.size()] == '-';
}

// The weight of one Accept-Language item ("ko-KR;q=0.8"), in thousandths.
int WeightOf(std::string_view parameters) {
    int weight = 1000;
    while (!parameters.empty()) {
        const std::size_t semicolon = parameters.find(';');
        const std::string_view parameter = Trim(parameters.substr(0, semicolon));
        parameters = semicolon == std::string_view::npos ? std::string_view{}
                                                         : parameters.substr(semicolon + 1);
        if (parameter.size() < 2 || (parameter[0] != 'q' && parameter[0] != 'Q') ||
            parameter[1] != '=')
            continue;
        const std::string_view value = parameter.substr(2);
        double q = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), q);
        if (error != std::errc{} || end != value.data() + value.size() || q < 0 || q > 1)
            return 0;
        weight = static_cast<int>(q * 1000 + 0.5);
    }
    return weight;
}

} // namespace

bool PrefersKorean(std::string_view acceptLanguage) {
    int korean = 0;
    int english = 0;
    while (!acceptLanguage.empty()) {
        const std::size_t comma = acceptLanguage.find(',');
        const std::string_view item = acceptLanguage.substr(0, comma);
        acceptLanguage =
            comma == std::string_view::npos ? std::string_view{} : acceptLanguage.substr(comma + 1);
        const std::size_t semicolon = item.find(';');
        const std::string_view range = Trim(item.substr(0, semicolon));
        const int weight =
            semicolon == std::string_view::npos ? 1000 : WeightOf(item.substr(semicolon + 1));
        if (IsLanguage(range, "ko"))
            korean = std::max(korean, weight);
        else if (IsLanguage(range, "en"))
            english = std::max(english, weight);
    }
    return korean > english;
}

std::string InvalidLinkPage(std::string_view acceptLanguage) {
    const bool korean = PrefersKorean(acceptLanguage);
    const std::string_view text = korean ? kKoreanText : kEnglishText;
    std::string page = "<!DOCTYPE html>\n<html lang=\"";
    page += korean ? "ko" : "en";
    page += "\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>";
    page += text;
    page += "</title></head><body><p>";
    page += text;
    page += "</p></body></html>\n";
    return page;
}

} // namespace Velto::Corvane
