#include "widget/controls/access_text.h"

namespace Velto::Widget {

AccessText ParseAccessText(std::u16string_view text) {
    AccessText result;
    result.shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            result.shown.push_back(text[i]);
            continue;
        }
        if (i + 1 >= text.size())
            break; // a trailing marker marks nothing
        ++i;
        if (text[i] == u'&') {
            result.shown.push_back(u'&');
            continue;
        }
        if (result.accessKey == 0) {
            result.accessKey = text[i];
            result.underline = result.shown.size();
        }
        result.shown.push_back(text[i]);
    }
    return result;
}

} // namespace Velto::Widget
