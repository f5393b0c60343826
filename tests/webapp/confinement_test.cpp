// A folder of the share swapped for a link to a place outside the share,
// over and over while visitors create, upload and rename inside it: nothing
// may ever appear outside.
#include "tests/webapp/web_app_fixture.h"

#include <fcntl.h>
#include <stdio.h>

#include <atomic>
#include <thread>

namespace Velto::Corvane::Testing {
namespace {

constexpr int kRequests = 600;
constexpr int kMaxSwaps = 1'000'000;

class Confinement : public WebAppFixture {};

TEST_F(Confinement, FolderSwappedForALinkNeverLeadsOutside) {
    const std::filesystem::path share = Files() / "share";
    const std::filesystem::path outside = Files() / "outside";
    std::filesystem::create_directories(share / "sub");
    std::filesystem::create_directories(outside);
    WriteFile("share/sub/x", "x");
    Config config;
    config.shares.push_back(
        MakeShare("00000000000000e1", u"s", share, AccessFlags::Read | AccessFlags::Write));
    Apply(config);

    // The real folder and a link to the outside trade places again and again
    // (one atomic exchange each time), so "sub" is always one or the other.
    std::filesystem::create_symlink(outside, share / "swap");
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const std::string sub = (share / "sub").string();
        const std::string swap = (share / "swap").string();
        for (int i = 0; i < kMaxSwaps && !stop.load(); ++i)
            ::renameat2(AT_FDCWD, sub.c_str(), AT_FDCWD, swap.c_str(), RENAME_EXCHANGE);
    });

    int succeeded = 0;
    for (int i = 0; i < kRequests; ++i) {
        const std::string n = std::to_string(i);
        ClientResponse reply;
        switch (i % 3) {
        case 0:
            reply = Post("/api/mkdir", R"({"share":"s","path":"sub/d)" + n + R"("})");
            break;
        case 1:
            reply = Send("PUT", "/files/s/sub/u" + n + ".txt", {}, "upload");
            break;
        default:
            reply = Post("/api/rename", std::string(R"({"share":"s","path":"sub/)") +
                                            (i % 2 == 0 ? "x" : "y") + R"(","newName":")" +
                                            (i % 2 == 0 ? "y" : "x") + R"("})");
            break;
        }
        if (reply.status == 200 || reply.status == 201)
            ++succeeded;
    }
    stop = true;
    swapper.join();

    std::vector<std::string> leaked;
    for (const auto& entry : std::filesystem::directory_iterator(outside))
        leaked.push_back(entry.path().filename().string());
    EXPECT_TRUE(leaked.empty()) << leaked.size() << " items outside, first " << leaked.front();
    // The race was real: requests did land in the folder while it moved.
    EXPECT_GT(succeeded, 0);
}

} // namespace
} // namespace Velto::Corvane::Testing
