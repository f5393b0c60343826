#include "webapp/embedded_assets.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace Velto::Corvane {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(EmbeddedAssets, CarriesEveryFileOfTheWebFolderByteForByte) {
    const char* source = std::getenv("VELTO_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const std::filesystem::path web = std::filesystem::path(source) / "web";
    const EmbeddedAssets assets;
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(web)) {
        const std::string name = entry.path().lexically_relative(web).generic_string();
        if (!entry.is_regular_file() || name.starts_with('.') ||
            name.find("/.") != std::string::npos)
            continue;
        ++files;
        const auto bytes = assets.GetAsset(name);
        ASSERT_TRUE(bytes) << name;
        EXPECT_EQ(*bytes, ReadFile(entry.path())) << name;
    }
    EXPECT_EQ(EmbeddedWebFiles().size(), files);
    for (const char* name : {"index.html", "app.js", "app.css", "icon.svg"})
        EXPECT_TRUE(assets.GetAsset(name)) << name;
}

TEST(EmbeddedAssets, NamesMatchExactly) {
    const EmbeddedFile files[] = {{"a.txt", std::string_view("\0x", 2)}, {"dir/b.css", "b"}};
    const EmbeddedAssets assets(files);
    EXPECT_EQ(assets.GetAsset("a.txt"), std::string("\0x", 2));
    EXPECT_EQ(assets.GetAsset("dir/b.css"), "b");
    for (const char* name : {"A.txt", "a.txt ", "/a.txt", "b.css", "", "dir/"})
        EXPECT_FALSE(assets.GetAsset(name)) << name;
}

} // namespace
} // namespace Velto::Corvane
