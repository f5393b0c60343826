// The largest delete request: 10 000 items in one go, each with its own
// trash record.
#include "tests/webapp/web_app_fixture.h"

#include <fstream>

namespace Velto::Corvane::Testing {
namespace {

constexpr int kMaxItems = 10'000;
constexpr std::size_t kLogCapacity = 1'000;

std::size_t CountIn(const std::filesystem::path& folder) {
    std::size_t count = 0;
    for (auto it = std::filesystem::directory_iterator(folder);
         it != std::filesystem::directory_iterator(); ++it)
        ++count;
    return count;
}

class DeleteMany : public WebAppFixture {};

TEST_F(DeleteMany, TenThousandItemsGoInOneRequest) {
    const std::filesystem::path share = Files() / "share";
    std::filesystem::create_directories(share);
    Config config;
    config.shares.push_back(
        MakeShare("00000000000000b1", u"s", share, AccessFlags::Read | AccessFlags::Delete));
    Apply(config);
    JsonValue paths = JsonValue::MakeArray();
    for (int i = 0; i < kMaxItems; ++i) {
        const std::string name = "f" + std::to_string(i);
        std::ofstream(share / name) << i;
        paths.Append(JsonValue(name));
    }
    JsonValue body = JsonValue::MakeObject();
    body.Set("share", JsonValue("s"));
    body.Set("paths", std::move(paths));

    const ClientResponse reply = Post("/api/delete", SerializeJson(body, false));
    ASSERT_EQ(reply.status, 200) << reply.body;
    EXPECT_EQ(reply.body, R"({"deleted":10000})");
    EXPECT_EQ(CountIn(share), 0u);
    const std::filesystem::path trash = Root() / "data" / "Trash";
    EXPECT_EQ(CountIn(trash / "files"), std::size_t{kMaxItems});
    EXPECT_EQ(CountIn(trash / "info"), std::size_t{kMaxItems});
    // One record per item; the log keeps the latest thousand in memory.
    const std::vector<AccessLogEntry> log = LogEntries();
    ASSERT_EQ(log.size(), kLogCapacity);
    EXPECT_EQ(log.back().detail, u"/s/f9999");
    EXPECT_EQ(log.back().result, 200);
}

} // namespace
} // namespace Velto::Corvane::Testing
