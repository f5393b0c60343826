// Files dropped onto a toolkit window by another program over XDND, on a
// private X server: a small drag source (xdnd_source) offers text/uri-list
// or plain text and drops at the window's centre.
#include "widget/core/stack.h"
#include "widget/desktop/file_drop_target.h"

#include <string>
#include <vector>

// Last: it brings in Xlib and its macros.
#include "tests/widget/window/gui_rig.h"

namespace Velto::Widget::Testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

struct DropRig {
    Window window;
    std::vector<std::vector<std::string>> drops;

    bool Open() {
        if (!window.Create(Options(u"Drop", 240, 160)))
            return false;
        window.SetRoot(std::make_unique<Stack>());
        window.Show();
        return PumpUntil([&] { return window.IsShown() && window.IsActive(); });
    }
    Kit::FileDropTarget::Handler Recorder() {
        return [this](std::vector<std::string> paths) { drops.push_back(std::move(paths)); };
    }
};

// Drops from another process while the UI loop runs; the source's output.
std::string DropOnto(const Window& window, const std::string& type,
                     const std::vector<std::string>& lines) {
    const ScreenBounds client = window.ClientScreenBounds();
    std::vector<std::string> argv{VELTO_XDND_SOURCE, std::to_string(window.XWindow()),
                                  std::to_string(client.x + client.width / 2),
                                  std::to_string(client.y + client.height / 2), type};
    argv.insert(argv.end(), lines.begin(), lines.end());
    std::string out;
    {
        Driver driver([&] { out = Command(argv); });
        EXPECT_TRUE(PumpUntil([&] { return driver.Done(); }));
    }
    // The handler's task runs in a later pass of the loop.
    PumpFor(0.3);
    return out;
}

TEST(FileDropTargetTest, DroppedFilesReachTheHandlerTogetherWithTheirUrisDecoded) {
    DropRig rig;
    ASSERT_TRUE(rig.Open());
    Kit::FileDropTarget target;
    ASSERT_TRUE(target.Register(rig.window, rig.Recorder()));

    const std::string out =
        DropOnto(rig.window, "text/uri-list",
                 {"file:///srv/share/a%20b.txt", "file:///srv/%ED%95%9C%EA%B8%80/%25done.png"});
    EXPECT_EQ(out, "status accept=1\nfinished accept=1");
    ASSERT_EQ(rig.drops.size(), 1u);
    EXPECT_EQ(rig.drops[0],
              (std::vector<std::string>{"/srv/share/a b.txt", "/srv/한글/%done.png"}));

    // One more drop is a drop of its own.
    DropOnto(rig.window, "text/uri-list", {"file:///tmp/one"});
    ASSERT_EQ(rig.drops.size(), 2u);
    EXPECT_EQ(rig.drops[1], (std::vector<std::string>{"/tmp/one"}));
}

TEST(FileDropTargetTest, DropsWithoutLocalFilesCallNothing) {
    DropRig rig;
    ASSERT_TRUE(rig.Open());
    Kit::FileDropTarget target;
    ASSERT_TRUE(target.Register(rig.window, rig.Recorder()));

    // Plain text, and URIs that are no local files: the exchange still
    // ends properly for the source.
    EXPECT_NE(DropOnto(rig.window, "text/plain", {"just some text"}).find("finished"),
              std::string::npos);
    EXPECT_NE(DropOnto(rig.window, "text/uri-list", {"https://example.org/a.txt"}).find("finished"),
              std::string::npos);
    EXPECT_TRUE(rig.drops.empty());
}

TEST(FileDropTargetTest, UnregisteringStopsTheHandler) {
    DropRig rig;
    ASSERT_TRUE(rig.Open());
    Kit::FileDropTarget target;
    ASSERT_TRUE(target.Register(rig.window, rig.Recorder()));
    target.Unregister();
    EXPECT_FALSE(target.IsRegistered());
    DropOnto(rig.window, "text/uri-list", {"file:///tmp/one"});
    EXPECT_TRUE(rig.drops.empty());

    // A window without its native window cannot take drops.
    Window uncreated;
    EXPECT_FALSE(target.Register(uncreated, rig.Recorder()));

    // The target outlives a closed window without harm, and registering
    // again on a live window works.
    ASSERT_TRUE(target.Register(rig.window, rig.Recorder()));
    DropOnto(rig.window, "text/uri-list", {"file:///tmp/two"});
    ASSERT_EQ(rig.drops.size(), 1u);
    rig.window.Close();
    target.Unregister();
}

} // namespace
} // namespace Velto::Widget::Testing
