#pragma once

#include "base/ascii_text.h"

#include <string_view>

namespace Velto::Corvane {

// Calls `visit` with each comma-separated element, trimmed of spaces and tabs;
// empty elements are skipped.
template <typename Visit> void ForEachListElement(std::string_view list, Visit&& visit) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        const std::string_view element = TrimSpaceTab(list.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (!element.empty())
            visit(element);
        if (comma == std::string_view::npos)
            return;
        start = comma + 1;
    }
}

} // namespace Velto::Corvane
