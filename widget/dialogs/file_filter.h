#pragma once

#include <string>
#include <vector>

namespace Velto::Widget::Kit {

// One file type of a picker: "Certificates" with "*.pfx;*.p12".
struct FileFilter {
    std::u16string description;
    // Glob patterns separated by ";".
    std::u16string pattern;
};

// The glob patterns of a filter in UTF-8, each without surrounding spaces;
// empty pieces ("*.a;;*.b", a trailing ";") are left out.
std::vector<std::string> FilterPatterns(const FileFilter& filter);

} // namespace Velto::Widget::Kit
