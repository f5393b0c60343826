#include "server/http/content_disposition.h"

#include "base/utf.h"
#include "server/http/percent_coding.h"

namespace Velto::Corvane {
namespace {

constexpr std::string_view kEmptyFallback = "download";

std::string AsciiFallback(std::u16string_view name) {
    std::string fallback;
    fallback.reserve(name.size());
    for (const char16_t unit : name) {
        const bool printable = unit >= 0x20 && unit <= 0x7E;
        const bool special = unit == u'"' || unit == u'%' || unit == u';' || unit == u'\\';
        fallback.push_back(printable && !special ? static_cast<char>(unit) : '_');
    }
    if (fallback.empty())
        fallback = kEmptyFallback;
    return fallback;
}

} // namespace

std::string ContentDisposition(std::string_view disposition, std::u16string_view fileName) {
    std::string value(disposition);
    value.append("; filename=\"");
    value.append(AsciiFallback(fileName));
    value.append("\"; filename*=UTF-8''");
    value.append(PercentEncode(Utf16ToUtf8(fileName), true));
    return value;
}

} // namespace Velto::Corvane
