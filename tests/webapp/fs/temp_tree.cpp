#include "tests/webapp/fs/temp_tree.h"

#include "base/utf.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Velto::Corvane::Testing {

TempTree::TempTree() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/velto-fs-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
        return;
    }
    char resolved[PATH_MAX];
    if (::realpath(pattern.c_str(), resolved) == nullptr) {
        ADD_FAILURE() << "realpath failed";
        m_root = pattern;
        return;
    }
    m_root = resolved;
}

TempTree::~TempTree() {
    if (m_root.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

std::string TempTree::Path(std::string_view relative) const {
    if (relative.empty())
        return m_root;
    return m_root + "/" + std::string(relative);
}

void TempTree::MakeDir(std::string_view relative) const {
    ASSERT_EQ(::mkdir(Path(relative).c_str(), 0755), 0) << relative;
}

void TempTree::MakeFile(std::string_view relative, std::string_view content) const {
    std::ofstream out(Path(relative), std::ios::binary);
    ASSERT_TRUE(out) << relative;
    out << content;
}

void TempTree::MakeLink(std::string_view target, std::string_view relative) const {
    ASSERT_EQ(::symlink(std::string(target).c_str(), Path(relative).c_str()), 0) << relative;
}

void TempTree::MakeFifo(std::string_view relative) const {
    ASSERT_EQ(::mkfifo(Path(relative).c_str(), 0644), 0) << relative;
}

void TempTree::Remove(std::string_view relative) const {
    std::error_code error;
    std::filesystem::remove_all(Path(relative), error);
    ASSERT_FALSE(error) << relative;
}

void TempTree::Rename(std::string_view from, std::string_view to) const {
    ASSERT_EQ(::rename(Path(from).c_str(), Path(to).c_str()), 0) << from;
}

std::u16string U16(std::string_view utf8) {
    return Utf8ToUtf16(utf8);
}

} // namespace Velto::Corvane::Testing
