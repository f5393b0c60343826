#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Velto::Widget::Kit {

// Finds icon files by name and size in a freedesktop icon theme, its
// parents and hicolor, the way the icon theme rules describe: an exact size
// in the nearest theme first, else the closest size there, before a parent
// is asked.
class IconTheme {
public:
    // `name` is looked for under <base>/icons/ for every base folder (most
    // important first); `allowSvg` says whether SVG files can be drawn.
    IconTheme(std::string name, std::vector<std::string> iconFolders, bool allowSvg);

    // The file for `names` (the preferred one first) nearest to `size`
    // pixels, from the nearest theme of the chain that has any of them;
    // none when no theme has one.
    std::optional<std::string> Find(const std::vector<std::string>& names, int size) const;

    const std::string& Name() const { return m_name; }

private:
    struct Directory {
        std::string path; // relative to the theme folder
        int size{0};
        int scale{1};
        int minSize{0};
        int maxSize{0};
        int threshold{2};
        enum class Type { Fixed, Scalable, Threshold } type{Type::Threshold};

        bool MatchesSize(int wanted) const;
        int SizeDistance(int wanted) const;
    };
    struct Theme {
        std::string name;
        std::vector<std::string> roots; // every <base>/icons/<name> that exists
        std::vector<Directory> directories;
        std::vector<std::string> parents;
    };

    const Theme* Load(const std::string& name) const;
    std::optional<std::string> FindInTheme(const Theme& theme, const std::string& name,
                                           int size) const;
    std::optional<std::string> FileIn(const Theme& theme, const Directory& directory,
                                      const std::string& name) const;

    std::string m_name;
    std::vector<std::string> m_iconFolders;
    bool m_allowSvg{false};
    // Themes read so far, by name (none for a theme that is not there).
    mutable std::unordered_map<std::string, std::unique_ptr<Theme>> m_themes;
};

} // namespace Velto::Widget::Kit
