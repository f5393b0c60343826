#include "server/cert/self_signed_certificate.h"

namespace Velto::Corvane {

std::u16string FormatFingerprint(std::u16string_view hex) {
    std::u16string text;
    text.reserve(hex.size() + hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); ++i) {
        if (i >= 2 && i % 2 == 0)
            text.push_back(u':');
        const char16_t c = hex[i];
        text.push_back(c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c);
    }
    return text;
}

} // namespace Velto::Corvane
