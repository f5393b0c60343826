#include "widget/window/x_resources.h"

#include <clocale>
#include <cstdlib>
#include <string>

namespace Velto::Widget {
namespace {

constexpr float kMinDpi = 24;
constexpr float kMaxDpi = 960;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::optional<float> ParseDpi(std::string_view text) {
    const std::string value(Trim(text));
    if (value.empty())
        return std::nullopt;
    // The resource is written with a dot whatever the locale.
    locale_t c = ::newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    if (c == static_cast<locale_t>(nullptr))
        return std::nullopt;
    char* end = nullptr;
    const double dpi = ::strtod_l(value.c_str(), &end, c);
    ::freelocale(c);
    if (end == value.c_str() || *end != '\0' || !(dpi >= kMinDpi) || !(dpi <= kMaxDpi))
        return std::nullopt;
    return static_cast<float>(dpi);
}

} // namespace

std::optional<float> XftDpiFromResources(std::string_view resources) {
    std::optional<float> dpi;
    while (!resources.empty()) {
        const std::size_t end = resources.find('\n');
        std::string_view line = resources.substr(0, end);
        resources = end == std::string_view::npos ? std::string_view{} : resources.substr(end + 1);
        line = Trim(line);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view name = Trim(line.substr(0, colon));
        if (name != "Xft.dpi" && name != "Xft*dpi")
            continue;
        // The last setting wins, as in the resource database.
        if (const std::optional<float> value = ParseDpi(line.substr(colon + 1)))
            dpi = value;
    }
    return dpi;
}

} // namespace Velto::Widget
