#include "webapp/fs/mount_table.h"

#include "base/ascii_text.h"
#include "base/file_util.h"

namespace Velto::Corvane {

namespace {

constexpr std::string_view kMountInfoPath = "/proc/self/mountinfo";
constexpr std::size_t kMountPointField = 4; // counted from 0
constexpr std::size_t kMaxMountIdDigits = 19;
constexpr std::size_t kOctalEscapeLength = 4; // "\040"

// The kernel writes space, tab, line feed and backslash in mount points as
// three octal digits after a backslash.
std::string UnescapeOctal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + kOctalEscapeLength <= text.size()) {
            int value = 0;
            bool octal = true;
            for (std::size_t k = 1; k < kOctalEscapeLength; ++k) {
                const char digit = text[i + k];
                if (digit < '0' || digit > '7') {
                    octal = false;
                    break;
                }
                value = value * 8 + (digit - '0');
            }
            if (octal && value < 256) {
                out.push_back(static_cast<char>(value));
                i += kOctalEscapeLength - 1;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string_view Field(std::string_view line, std::size_t index) {
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos)
            return {};
        line.remove_prefix(space + 1);
    }
    return line.substr(0, line.find(' '));
}

} // namespace

std::optional<std::string> FindMountPoint(std::string_view mountInfo, std::uint64_t mountId) {
    while (!mountInfo.empty()) {
        const std::size_t end = mountInfo.find('\n');
        const std::string_view line = mountInfo.substr(0, end);
        mountInfo = end == std::string_view::npos ? std::string_view() : mountInfo.substr(end + 1);
        const std::optional<std::uint64_t> id = ParseDecimal(Field(line, 0), kMaxMountIdDigits);
        if (!id || *id != mountId)
            continue;
        std::string point = UnescapeOctal(Field(line, kMountPointField));
        if (point.empty() || point.front() != '/')
            return std::nullopt;
        return point;
    }
    return std::nullopt;
}

std::optional<std::string> MountPointOf(std::uint64_t mountId) {
    std::string text;
    if (Failed(ReadWholeFile(std::string(kMountInfoPath), text)))
        return std::nullopt;
    return FindMountPoint(text, mountId);
}

} // namespace Velto::Corvane
