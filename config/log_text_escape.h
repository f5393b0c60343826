#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// The longest text field of an access-log record, in bytes after escaping.
// Ordinary fields (an account name, a display path of up to PATH_MAX bytes
// plus a share name and a new name) stay well below it; what is longer was
// typed to fill the log or the operator's terminal.
inline constexpr std::size_t kMaxLogFieldBytes = 8192;
// Ends a field cut at kMaxLogFieldBytes.
inline constexpr std::string_view kLogTruncationMark = "\xE2\x80\xA6[truncated]";

// Appends text that a visitor supplied (a name, a path) to a log record or a
// console line so that it cannot steer a terminal or a text viewer: tab, line
// feed and carriage return become spaces (they separate fields and records);
// the other C0 controls, DEL and bytes that are not well-formed UTF-8 become
// "\xNN"; C1 controls, line and paragraph separators, bidirectional controls
// and invisible format characters become "\uNNNN" (or "\UNNNNNNNN"). All other
// text, backslashes included, is copied unchanged. When the result would pass
// `maxBytes`, it is cut between two characters or escapes and ends with
// kLogTruncationMark, the whole field staying within `maxBytes`.
void AppendLogText(std::string& out, std::string_view text,
                   std::size_t maxBytes = kMaxLogFieldBytes);

inline std::string EscapeLogText(std::string_view text, std::size_t maxBytes = kMaxLogFieldBytes) {
    std::string out;
    AppendLogText(out, text, maxBytes);
    return out;
}

} // namespace Velto::Corvane
