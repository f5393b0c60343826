#pragma once

#include <string>

namespace Velto::Widget::Kit {

// One file type of a picker: "Certificates" with "*.pfx;*.p12".
struct FileFilter {
    std::u16string description;
    // Glob patterns separated by ";".
    std::u16string pattern;
};

} // namespace Velto::Widget::Kit
