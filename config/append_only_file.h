#pragma once

#include <string>
#include <string_view>

namespace Velto::Corvane {

// Appends the bytes to the file with one write call, creating the file (0600)
// when it is missing. The file is opened and closed for each call, so other
// programs can read, move or delete it at any time.
bool AppendToFile(const std::string& path, std::string_view bytes);

} // namespace Velto::Corvane
