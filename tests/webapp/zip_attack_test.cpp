// The ZIP job table under attack: guests on several loopback addresses post
// /api/zip as fast as they can from many connections at once, while another
// visitor prepares and downloads an archive.
#include "tests/webapp/zip_test_support.h"

#include <atomic>
#include <thread>

namespace Velto::Corvane::Testing {
namespace {

constexpr const char* kAttackers[] = {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"};
constexpr int kConnectionsPerAttacker = 8;
constexpr int kRequestsPerConnection = 150;

class ZipAttack : public ZipFixture {};

TEST_F(ZipAttack, AVisitorStillGetsItsArchiveWhileOthersFloodTheJobTable) {
    const std::filesystem::path share = Files() / "share";
    std::filesystem::create_directories(share);
    WriteFile("share/a.txt", "a");
    Config config;
    config.shares.push_back(MakeShare("00000000000000a1", u"docs", share));
    Apply(config);

    std::atomic<int> granted{0};
    std::atomic<int> busy{0};
    std::atomic<int> other{0};
    std::vector<std::thread> attackers;
    for (const char* address : kAttackers) {
        for (int connection = 0; connection < kConnectionsPerAttacker; ++connection) {
            attackers.emplace_back([&, address] {
                for (int i = 0; i < kRequestsPerConnection; ++i) {
                    const ClientResponse reply = Prepare("docs", "", {"a.txt"}, {}, address);
                    if (reply.status == 200)
                        ++granted;
                    else if (reply.status == 503 && reply.body == R"({"error":"busy"})")
                        ++busy;
                    else
                        ++other;
                }
            });
        }
    }
    // While the flood goes on, the visitor's selection is taken and served.
    while (granted + busy + other < 200)
        std::this_thread::yield();
    const ClientResponse prepared = Prepare("docs", "", {"a.txt"}, {}, "127.0.0.200");
    for (std::thread& thread : attackers)
        thread.join();
    ASSERT_EQ(prepared.status, 200) << prepared.body;
    EXPECT_EQ(Fetch(Json(prepared).Get("url").AsString(), Root() / "visitor.zip").status, 200);

    // Each address got exactly its share, however many connections raced.
    EXPECT_EQ(granted.load(),
              static_cast<int>(std::size(kAttackers) * WebApp::kMaxZipJobsPerClient));
    EXPECT_GT(busy.load(), 0);
    // The rest were refused at the door (503 connection caps) or by the table.
    EXPECT_EQ(granted + busy + other, static_cast<int>(std::size(kAttackers)) *
                                          kConnectionsPerAttacker * kRequestsPerConnection);
}

} // namespace
} // namespace Velto::Corvane::Testing
