#pragma once

#include <string>
#include <string_view>

namespace App {

// Appends one line (the text and a line feed) to the diagnostic trace file at
// `path`; nothing when the path is empty. Writers in any thread are
// serialised by one process-wide lock, and the file is opened and closed for
// every line so that it can be read, moved or removed while the program runs.
// Errors are ignored.
void AppendTraceLine(const std::string& path, std::string_view text);

// AppendTraceLine to the file VELTO_CORVANE_TRACE names.
void Trace(std::string_view text);
void Trace(std::u16string_view text);

} // namespace App
