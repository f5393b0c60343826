#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Velto::Widget::Kit {

// The kinds of files by name, from shared-mime-info's glob lists
// (<data dir>/mime/globs2, else globs) and the generic icons of each kind
// (mime/generic-icons). The first data folder that has a list wins for each
// pattern, as the shared-mime-info rules say.
class MimeGlobs {
public:
    // Reads the lists under each data folder, most important first.
    static MimeGlobs Load(const std::vector<std::string>& dataDirs);

    // The kind of a file name ("report.PDF" -> "application/pdf"); empty when
    // no pattern matches. Literal names win over patterns; among patterns
    // the higher weight wins, then the longer pattern.
    std::string TypeOf(std::string_view fileName) const;
    // The generic icon named for a kind; empty when none is.
    std::string GenericIcon(std::string_view type) const;

private:
    struct Glob {
        int weight{50};
        std::string type;
        std::string pattern;
        bool caseSensitive{false};
    };

    void ReadGlobs2(std::string_view text);
    void ReadGlobs(std::string_view text);
    void ReadGenericIcons(std::string_view text);
    void Add(Glob glob);

    std::vector<Glob> m_literals;
    // "*.ext" patterns, by the lower-cased extension.
    std::unordered_map<std::string, std::vector<Glob>> m_suffixes;
    std::vector<Glob> m_others;
    std::unordered_map<std::string, std::string> m_genericIcons;
    std::unordered_map<std::string, bool> m_seenPatterns;
};

} // namespace Velto::Widget::Kit
