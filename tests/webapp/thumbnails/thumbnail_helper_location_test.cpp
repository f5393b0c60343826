// Where the server finds its thumbnail helper: beside the program, in the
// installed libexec folder, else in the build tree.
#include "webapp/thumbnails/thumbnail_maker.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace Velto::Corvane {
namespace {

namespace fs = std::filesystem;

class HelperLocation : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "velto-helper-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_prefix = pattern;
        fs::create_directories(m_prefix / "bin");
        fs::create_directories(m_prefix / "libexec/veltocorvane");
    }
    void TearDown() override { fs::remove_all(m_prefix); }

    fs::path Place(const fs::path& relative, fs::perms mode) const {
        const fs::path path = m_prefix / relative;
        std::ofstream{path} << "#!/bin/sh\n";
        fs::permissions(path, mode);
        return path;
    }
    std::string Program() const { return (m_prefix / "bin/veltocorvane").string(); }

    fs::path m_prefix;
};

constexpr fs::perms kRunnable = fs::perms::owner_all;
constexpr fs::perms kNotRunnable = fs::perms::owner_read | fs::perms::owner_write;

TEST_F(HelperLocation, InstalledHelperIsFoundFromTheBinFolder) {
    const fs::path installed = Place("libexec/veltocorvane/veltocorvane-thumbnailer", kRunnable);
    EXPECT_EQ(FindThumbnailHelper(Program()), installed.string());
    // A copy beside the program is preferred.
    const fs::path beside = Place("bin/veltocorvane-thumbnailer", kRunnable);
    EXPECT_EQ(FindThumbnailHelper(Program()), beside.string());
}

TEST_F(HelperLocation, WithoutARunnableHelperTheBuildTreeOneIsUsed) {
    Place("libexec/veltocorvane/veltocorvane-thumbnailer", kNotRunnable);
    Place("bin/veltocorvane-thumbnailer", kNotRunnable);
    const std::string fallback = FindThumbnailHelper(Program());
    EXPECT_NE(fallback.find("veltocorvane-thumbnailer"), std::string::npos);
    EXPECT_NE(fallback.rfind(m_prefix.string(), 0), 0u) << fallback;
    EXPECT_EQ(::access(fallback.c_str(), X_OK), 0) << fallback;
    EXPECT_EQ(FindThumbnailHelper("veltocorvane"), fallback);
    EXPECT_EQ(DefaultThumbnailHelper(), fallback); // the test is not installed
}

} // namespace
} // namespace Velto::Corvane
