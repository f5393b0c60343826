#include "server/http/entity_tag.h"

#include "server/http/list_elements.h"

#include <cstdio>

namespace Velto::Corvane {

std::string MakeEtag(std::uint64_t size, FileTime lastWrite) {
    char text[48];
    std::snprintf(text, sizeof text, "\"%llx-%llx\"", static_cast<unsigned long long>(size),
                  static_cast<unsigned long long>(lastWrite));
    return text;
}

bool EtagListMatches(std::string_view ifNoneMatch, std::string_view etag) {
    bool matched = false;
    ForEachListElement(ifNoneMatch, [&](std::string_view element) {
        if (element.starts_with("W/"))
            element.remove_prefix(2);
        if (element == "*" || element == etag)
            matched = true;
    });
    return matched;
}

} // namespace Velto::Corvane
