#pragma once

#include <string>
#include <string_view>

namespace Velto::Corvane::Testing {

// A folder made for one test under $TMPDIR (or /tmp), removed with everything
// in it afterwards. Paths given to the helpers are relative to it.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The folder's own path, link-free, as the kernel reports it.
    const std::string& Root() const { return m_root; }
    std::string Path(std::string_view relative) const;

    void MakeDir(std::string_view relative) const;
    void MakeFile(std::string_view relative, std::string_view content = {}) const;
    void MakeLink(std::string_view target, std::string_view relative) const;
    void MakeFifo(std::string_view relative) const;
    void Remove(std::string_view relative) const;
    void Rename(std::string_view from, std::string_view to) const;

private:
    std::string m_root;
};

std::u16string U16(std::string_view utf8);

} // namespace Velto::Corvane::Testing
