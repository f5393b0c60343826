#include "app/usage/os_release.h"

#include "base/file_util.h"

#include <map>
#include <optional>

namespace App {
namespace {

constexpr const char* kOsReleasePaths[] = {"/etc/os-release", "/usr/lib/os-release"};
constexpr std::size_t kMaxOsReleaseBytes = 65536;

// A value as the shell reads an assignment: single quotes keep everything,
// double quotes allow backslash escapes of `"`, `\`, `$` and `` ` ``. A value
// whose quotes do not close counts as missing.
std::optional<std::string> Unquote(std::string_view value) {
    std::string out;
    char quote = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                out += c;
        } else if (quote == '"') {
            if (c == '"') {
                quote = 0;
            } else if (c == '\\' && i + 1 < value.size() &&
                       std::string_view{"\"\\$`"}.find(value[i + 1]) != std::string_view::npos) {
                out += value[++i];
            } else {
                out += c;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '\\' && i + 1 < value.size()) {
            out += value[++i];
        } else {
            out += c;
        }
    }
    if (quote != 0)
        return std::nullopt;
    return out;
}

} // namespace

std::string OsVersionFromOsRelease(std::string_view content) {
    std::map<std::string, std::string, std::less<>> fields;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos)
            continue;
        if (auto value = Unquote(line.substr(equals + 1)); value && !value->empty())
            fields[std::string{line.substr(0, equals)}] = std::move(*value);
    }
    const auto field = [&](std::string_view key) -> std::string {
        const auto found = fields.find(key);
        return found == fields.end() ? std::string{} : found->second;
    };
    const std::string name = field("NAME");
    const std::string versionId = field("VERSION_ID");
    if (!name.empty() && !versionId.empty())
        return name + " " + versionId;
    const std::string pretty = field("PRETTY_NAME");
    return pretty.empty() ? name : pretty;
}

std::string SystemOsVersion() {
    for (const char* path : kOsReleasePaths) {
        std::string content;
        if (Velto::Succeeded(Velto::ReadTextFile(path, content, kMaxOsReleaseBytes)))
            return OsVersionFromOsRelease(content);
    }
    return {};
}

} // namespace App
