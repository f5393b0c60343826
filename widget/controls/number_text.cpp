#include "widget/controls/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace Velto::Widget::Controls {
namespace {

constexpr int kMaxDecimals = 15;

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == 0xA0;
}

} // namespace

bool AcceptsNumberCharacter(char32_t c, const NumberFormat& format) {
    if ((c >= U'0' && c <= U'9') || c == U'+' || c == U' ')
        return true;
    if (c == U'-')
        return format.minimum < 0;
    if (c == U',' || c == U'.')
        return format.decimals > 0;
    return false;
}

std::optional<double> ParseNumberText(std::u16string_view text, const NumberFormat& format) {
    std::size_t end = text.size();
    while (end > 0 && IsSpace(text[end - 1]))
        --end;
    text = text.substr(0, end);
    if (!format.suffix.empty() && text.size() >= format.suffix.size() &&
        text.substr(text.size() - format.suffix.size()) == format.suffix)
        text.remove_suffix(format.suffix.size());
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    // The number as ASCII, "," read as ".".
    std::string number;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            number.push_back('-');
        ++i;
    }
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            number.push_back(static_cast<char>(c));
            digits = true;
        } else if ((c == u'.' || c == u',') && !point) {
            number.push_back('.');
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return std::nullopt;
    double value = 0;
    const auto [ptr, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc{} || !std::isfinite(value))
        return std::nullopt;
    (void)ptr;
    return value;
}

double ClampNumber(double value, const NumberFormat& format) {
    return std::max(format.minimum, std::min(value, format.maximum));
}

std::u16string FormatNumber(double value, int decimals) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text(buffer, result.ptr);
    if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1); // no "-0"
    return std::u16string(text.begin(), text.end());
}

} // namespace Velto::Widget::Controls
