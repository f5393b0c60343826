#include "widget/desktop/icon_theme.h"

#include "base/file_util.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <span>
#include <unordered_set>

namespace Velto::Widget::Kit {
namespace {

constexpr std::size_t kMaxIndexBytes = 1 << 20;
// Themes inherit in a short chain; a loop or a longer chain is cut here.
constexpr int kMaxInheritDepth = 16;
constexpr std::string_view kFallbackTheme = "hicolor";

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view item = Trim(text.substr(start, end - start));
        if (!item.empty())
            items.emplace_back(item);
        start = end + 1;
    }
    return items;
}

int ToInt(const std::string& text, int fallback) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || value < 0 || value > INT_MAX / 4)
        return fallback;
    return static_cast<int>(value);
}

// index.theme as groups of keys.
using IniGroups = std::unordered_map<std::string, std::unordered_map<std::string, std::string>>;

IniGroups ParseIni(std::string_view text) {
    IniGroups groups;
    std::string group;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            group = std::string(line.substr(1, line.size() - 2));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        groups[group].emplace(std::string(Trim(line.substr(0, equals))),
                              std::string(Trim(line.substr(equals + 1))));
    }
    return groups;
}

} // namespace

bool IconTheme::Directory::MatchesSize(int wanted) const {
    switch (type) {
    case Type::Fixed:
        return size == wanted;
    case Type::Scalable:
        return minSize <= wanted && wanted <= maxSize;
    case Type::Threshold:
        return size - threshold <= wanted && wanted <= size + threshold;
    }
    return false;
}

int IconTheme::Directory::SizeDistance(int wanted) const {
    switch (type) {
    case Type::Fixed:
        return std::abs(size * scale - wanted);
    case Type::Scalable:
        if (wanted < minSize * scale)
            return minSize * scale - wanted;
        if (wanted > maxSize * scale)
            return wanted - maxSize * scale;
        return 0;
    case Type::Threshold:
        if (wanted < (size - threshold) * scale)
            return (size - threshold) * scale - wanted;
        if (wanted > (size + threshold) * scale)
            return wanted - (size + threshold) * scale;
        return 0;
    }
    return INT_MAX;
}

IconTheme::IconTheme(std::string name, std::vector<std::string> iconFolders, bool allowSvg)
    : m_name(std::move(name)), m_iconFolders(std::move(iconFolders)), m_allowSvg(allowSvg) {}

const IconTheme::Theme* IconTheme::Load(const std::string& name) const {
    if (const auto found = m_themes.find(name); found != m_themes.end())
        return found->second.get();
    // Theme names are folder names: nothing that climbs out of the folder.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        m_themes.emplace(name, nullptr);
        return nullptr;
    }
    auto theme = std::make_unique<Theme>();
    theme->name = name;
    bool haveIndex = false;
    for (const std::string& folder : m_iconFolders) {
        const std::string root = folder + "/" + name;
        std::string text;
        if (ReadWholeFile(root + "/index.theme", text, kMaxIndexBytes) == kOk) {
            theme->roots.push_back(root);
            if (haveIndex)
                continue;
            // The first index found describes the theme; other folders of
            // the same name add files to its directories.
            haveIndex = true;
            IniGroups ini = ParseIni(text);
            const auto& head = ini["Icon Theme"];
            if (const auto inherits = head.find("Inherits"); inherits != head.end())
                theme->parents = SplitList(inherits->second);
            std::vector<std::string> directories;
            if (const auto dirs = head.find("Directories"); dirs != head.end())
                directories = SplitList(dirs->second);
            for (const std::string& path : directories) {
                const auto& keys = ini[path];
                Directory directory;
                directory.path = path;
                auto value = [&](const char* key, int fallback) {
                    const auto found = keys.find(key);
                    return found == keys.end() ? fallback : ToInt(found->second, fallback);
                };
                directory.size = value("Size", 0);
                if (directory.size <= 0)
                    continue;
                directory.scale = std::max(1, value("Scale", 1));
                directory.minSize = value("MinSize", directory.size);
                directory.maxSize = value("MaxSize", directory.size);
                directory.threshold = value("Threshold", 2);
                const auto type = keys.find("Type");
                const std::string typeName = type == keys.end() ? "Threshold" : type->second;
                directory.type = typeName == "Fixed"      ? Directory::Type::Fixed
                                 : typeName == "Scalable" ? Directory::Type::Scalable
                                                          : Directory::Type::Threshold;
                // Pictures drawn for a doubled screen density are left to
                // the plain ones.
                if (directory.scale != 1)
                    continue;
                theme->directories.push_back(std::move(directory));
            }
        } else if (IsDirectory(root)) {
            theme->roots.push_back(root);
        }
    }
    const Theme* result = haveIndex ? theme.get() : nullptr;
    m_themes.emplace(name, haveIndex ? std::move(theme) : nullptr);
    return result;
}

std::optional<std::string> IconTheme::FileIn(const Theme& theme, const Directory& directory,
                                             const std::string& name) const {
    static constexpr const char* kRaster[] = {".png"};
    static constexpr const char* kWithSvg[] = {".png", ".svg"};
    const std::span<const char* const> extensions =
        m_allowSvg ? std::span<const char* const>(kWithSvg) : std::span<const char* const>(kRaster);
    for (const std::string& root : theme.roots) {
        for (const char* extension : extensions) {
            std::string path = root + "/" + directory.path + "/" + name + extension;
            if (IsFile(path))
                return path;
        }
    }
    return std::nullopt;
}

std::optional<std::string> IconTheme::FindInTheme(const Theme& theme, const std::string& name,
                                                  int size) const {
    for (const Directory& directory : theme.directories) {
        if (!directory.MatchesSize(size))
            continue;
        if (std::optional<std::string> file = FileIn(theme, directory, name))
            return file;
    }
    std::optional<std::string> closest;
    int best = INT_MAX;
    for (const Directory& directory : theme.directories) {
        const int distance = directory.SizeDistance(size);
        if (distance >= best)
            continue;
        if (std::optional<std::string> file = FileIn(theme, directory, name)) {
            closest = std::move(file);
            best = distance;
        }
    }
    return closest;
}

std::optional<std::string> IconTheme::Find(const std::vector<std::string>& names, int size) const {
    // The chain: the theme, its parents depth first, hicolor last.
    std::vector<const Theme*> chain;
    std::unordered_set<std::string> seen;
    auto visit = [&](auto&& self, const std::string& name, int depth) -> void {
        if (depth > kMaxInheritDepth || name == kFallbackTheme || !seen.insert(name).second)
            return;
        const Theme* theme = Load(name);
        if (theme == nullptr)
            return;
        chain.push_back(theme);
        for (const std::string& parent : theme->parents)
            self(self, parent, depth + 1);
    };
    visit(visit, m_name, 0);
    if (const Theme* hicolor = Load(std::string(kFallbackTheme)))
        chain.push_back(hicolor);

    // A nearer theme's generic icon wins over a farther theme's exact one,
    // so the look of the chosen theme is kept.
    for (const Theme* theme : chain) {
        for (const std::string& name : names) {
            if (std::optional<std::string> file = FindInTheme(*theme, name, size))
                return file;
        }
    }
    return std::nullopt;
}

} // namespace Velto::Widget::Kit
