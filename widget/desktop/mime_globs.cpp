#include "widget/desktop/mime_globs.h"

#include "base/ascii_case.h"
#include "base/file_util.h"

#include <fnmatch.h>

#include <algorithm>
#include <cstdlib>

namespace Velto::Widget::Kit {
namespace {

// The lists of a desktop are a few hundred kilobytes.
constexpr std::size_t kMaxListBytes = 8 << 20;

std::vector<std::string_view> Split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(separator, start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return fields;
        start = end + 1;
    }
}

template <typename Callback> void ForEachLine(std::string_view text, Callback&& callback) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.front() != '#')
            callback(line);
    }
}

bool IsSimpleSuffix(std::string_view pattern) {
    return pattern.size() > 2 && pattern.substr(0, 2) == "*." &&
           pattern.find_first_of("*?[", 2) == std::string_view::npos;
}

bool IsLiteral(std::string_view pattern) {
    return pattern.find_first_of("*?[") == std::string_view::npos;
}

} // namespace

MimeGlobs MimeGlobs::Load(const std::vector<std::string>& dataDirs) {
    MimeGlobs globs;
    for (const std::string& dir : dataDirs) {
        std::string text;
        if (ReadWholeFile(dir + "/mime/globs2", text, kMaxListBytes) == kOk)
            globs.ReadGlobs2(text);
        else if (ReadWholeFile(dir + "/mime/globs", text, kMaxListBytes) == kOk)
            globs.ReadGlobs(text);
        if (ReadWholeFile(dir + "/mime/generic-icons", text, kMaxListBytes) == kOk)
            globs.ReadGenericIcons(text);
    }
    return globs;
}

void MimeGlobs::ReadGlobs2(std::string_view text) {
    ForEachLine(text, [&](std::string_view line) {
        const std::vector<std::string_view> fields = Split(line, ':');
        if (fields.size() < 3 || fields[1].empty() || fields[2].empty())
            return;
        Glob glob;
        glob.weight = std::atoi(std::string(fields[0]).c_str());
        glob.type = fields[1];
        glob.pattern = fields[2];
        if (fields.size() >= 4) {
            for (const std::string_view flag : Split(fields[3], ','))
                glob.caseSensitive = glob.caseSensitive || flag == "cs";
        }
        Add(std::move(glob));
    });
}

void MimeGlobs::ReadGlobs(std::string_view text) {
    ForEachLine(text, [&](std::string_view line) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 || colon + 1 >= line.size())
            return;
        Glob glob;
        glob.type = line.substr(0, colon);
        glob.pattern = line.substr(colon + 1);
        Add(std::move(glob));
    });
}

void MimeGlobs::ReadGenericIcons(std::string_view text) {
    ForEachLine(text, [&](std::string_view line) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 || colon + 1 >= line.size())
            return;
        m_genericIcons.emplace(std::string(line.substr(0, colon)),
                               std::string(line.substr(colon + 1)));
    });
}

void MimeGlobs::Add(Glob glob) {
    // A pattern a more important folder defined already stays as it was.
    const std::string key = glob.pattern + "\n" + glob.type;
    if (m_seenPatterns.contains(key))
        return;
    m_seenPatterns.emplace(key, true);
    if (IsLiteral(glob.pattern)) {
        m_literals.push_back(std::move(glob));
    } else if (IsSimpleSuffix(glob.pattern)) {
        const std::string extension = AsciiLowerCopy(std::string_view(glob.pattern).substr(1));
        m_suffixes[extension].push_back(std::move(glob));
    } else {
        m_others.push_back(std::move(glob));
    }
}

std::string MimeGlobs::TypeOf(std::string_view fileName) const {
    const std::string lower = AsciiLowerCopy(fileName);
    for (const Glob& glob : m_literals) {
        if (glob.caseSensitive ? glob.pattern == fileName : AsciiLowerCopy(glob.pattern) == lower)
            return glob.type;
    }
    const Glob* best = nullptr;
    auto consider = [&](const Glob& glob) {
        if (best == nullptr || glob.weight > best->weight ||
            (glob.weight == best->weight && glob.pattern.size() > best->pattern.size()))
            best = &glob;
    };
    // Every "." starts a candidate extension: "a.tar.gz" tries ".tar.gz" and ".gz".
    for (std::size_t dot = lower.find('.'); dot != std::string::npos;
         dot = lower.find('.', dot + 1)) {
        const auto found = m_suffixes.find(lower.substr(dot));
        if (found == m_suffixes.end())
            continue;
        for (const Glob& glob : found->second) {
            if (glob.caseSensitive &&
                std::string_view(fileName).substr(dot) != std::string_view(glob.pattern).substr(1))
                continue;
            consider(glob);
        }
    }
    const std::string name(fileName);
    for (const Glob& glob : m_others) {
        const int flags = 0;
        const bool matches =
            glob.caseSensitive
                ? fnmatch(glob.pattern.c_str(), name.c_str(), flags) == 0
                : fnmatch(AsciiLowerCopy(glob.pattern).c_str(), lower.c_str(), flags) == 0;
        if (matches)
            consider(glob);
    }
    return best != nullptr ? best->type : std::string();
}

std::string MimeGlobs::GenericIcon(std::string_view type) const {
    const auto found = m_genericIcons.find(std::string(type));
    return found != m_genericIcons.end() ? found->second : std::string();
}

} // namespace Velto::Widget::Kit
