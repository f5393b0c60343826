// The bounds of a search on a tree of 200,000 files in 20,000 folders.
#include "tests/webapp/web_app_fixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

namespace Velto::Corvane::Testing {
namespace {

constexpr int kFolders = 20'000;
constexpr int kFilesPerFolder = 10;
constexpr int kFoldersPerGroup = 100;

class LargeSearch : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        // In memory where the system has a tmpfs: the test is about the
        // walk's limits, not about how fast a disk makes 200,000 files.
        char pattern[] = "/dev/shm/velto-search-XXXXXX";
        m_tree = ::mkdtemp(pattern) != nullptr ? std::filesystem::path(pattern) : Files() / "tree";
        // Groups of 100 folders of 10 files each.
        for (int folder = 0; folder < kFolders; ++folder) {
            const std::filesystem::path dir =
                m_tree / ("group " + std::to_string(folder / kFoldersPerGroup)) /
                ("folder " + std::to_string(folder));
            std::filesystem::create_directories(dir);
            for (int file = 0; file < kFilesPerFolder; ++file) {
                const std::string name =
                    (dir / ("photo " + std::to_string(folder * kFilesPerFolder + file) + ".jpg"))
                        .string();
                const int fd = ::open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
                ASSERT_GE(fd, 0) << name;
                ::close(fd);
            }
        }
        Config config;
        config.shares.push_back(MakeShare("00000000000000f1", u"tree", m_tree));
        Apply(config);
    }

    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_tree, ignored);
        WebAppFixture::TearDown();
    }

    std::filesystem::path m_tree;
};

TEST_F(LargeSearch, StopsAtTheResultLimitAndSaysSo) {
    const ClientResponse reply = Get("/api/search?share=tree&q=PHOTO%20.JPG");
    ASSERT_EQ(reply.status, 200);
    const JsonValue results = Json(reply);
    EXPECT_TRUE(results.Get("truncated").AsBool());
    const auto& items = results.Get("items").AsArray();
    ASSERT_EQ(items.size(), WebApp::kMaxSearchResults);
    std::set<std::string> distinct;
    for (const JsonValue& item : items)
        distinct.insert(item.Get("path").AsString() + "/" + item.Get("name").AsString());
    EXPECT_EQ(distinct.size(), items.size());

    // A query the tree cannot hold answers, whether or not the walk ran out
    // of time, with no item.
    const ClientResponse none = Get("/api/search?share=tree&q=nowhere");
    ASSERT_EQ(none.status, 200);
    EXPECT_TRUE(Json(none).Get("items").AsArray().empty());
}

} // namespace
} // namespace Velto::Corvane::Testing
