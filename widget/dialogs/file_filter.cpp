#include "widget/dialogs/file_filter.h"

#include "base/utf.h"

#include <string_view>

namespace Velto::Widget::Kit {

std::vector<std::string> FilterPatterns(const FileFilter& filter) {
    std::vector<std::string> patterns;
    const std::string text = Utf16ToUtf8(filter.pattern);
    std::string_view rest = text;
    for (;;) {
        const std::size_t end = rest.find(';');
        std::string_view piece = rest.substr(0, end);
        const std::size_t first = piece.find_first_not_of(' ');
        if (first != std::string_view::npos) {
            piece = piece.substr(first, piece.find_last_not_of(' ') - first + 1);
            patterns.emplace_back(piece);
        }
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return patterns;
}

} // namespace Velto::Widget::Kit
