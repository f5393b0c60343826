// The home page's pieces laid out and drawn without a display: nothing may
// leave the window at the usual or a narrow width, long names are cut instead
// of pushing the tags away, and each language and colour scheme renders (the
// pictures stay in the build folder for a look).

#include "app/desktop/home/reachability.h"
#include "app/desktop/qr/qr_dialog_content.h"
#include "app/desktop/server_status_text.h"
#include "app/desktop/shares/share_list_view.h"
#include "app/desktop/window_cards.h"
#include "app/texts/text_table.h"
#include "tests/support/netns_lab.h"
#include "widget/core/grid.h"
#include "widget/core/label.h"
#include "widget/core/stack.h"
#include "widget/input/headless_host.h"
#include "widget/render/theme.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace App {
namespace {

using namespace Velto::Widget;
using Velto::Corvane::AccessFlags;
using Velto::Corvane::Config;
using Velto::Corvane::ServiceStatus;
using Velto::Corvane::Share;

constexpr float kTolerance = 0.5f;

Config SampleConfig() {
    Config config;
    const auto add = [&](std::u16string name, std::u16string path, bool readOnly, unsigned guest,
                         bool password, bool file) {
        Share share;
        share.id = "id" + std::to_string(config.shares.size());
        share.name = std::move(name);
        share.path = std::move(path);
        share.readOnly = readOnly;
        share.guest = static_cast<AccessFlags>(guest);
        share.password = password ? "hash" : "";
        share.file = file;
        config.shares.push_back(share);
    };
    add(u"Photos", u"/home/user/Pictures/Photos", false, 7, true, false);
    add(u"보고서.pdf", u"/home/user/Documents/보고서.pdf", true, 1, false, true);
    add(u"A share with a rather long name that cannot fit beside its tags at all",
        u"/srv/archive/" + std::u16string(120, u'x'), true, 0, true, false);
    return config;
}

std::unique_ptr<Widget> BuildPage(UiLanguage language, const Config& config) {
    ServiceStatus failed;
    failed.state = ServiceStatus::Failed;
    failed.error = static_cast<std::int32_t>(0x80072740u);
    ServiceStatus running;
    running.state = ServiceStatus::Running;
    running.port = 8080;
    running.localAddresses = {"192.168.1.5"};
    running.upnpState = 5;
    running.upnpError = 718;

    auto page = std::make_unique<Stack>(Orientation::Vertical, 12);
    page->SetMargin(Thickness{24, 16, 24, 12});
    page->AddChild(MakeFailureCard(StartFailureText(failed, 8080, language), language));
    auto address = MakeCard(Thickness{16, 10, 12, 10});
    auto addressStack = std::make_unique<Stack>(Orientation::Vertical, 10);
    addressStack->AddChild(
        MakeLabel(u"http://192.168.1.5:8080", TextStyle::Subtitle, Tone::Accent));
    addressStack->AddChild(MakeReachabilityStack(ExplainReachability(running, language)));
    address->AddChild(std::move(addressStack));
    page->AddChild(std::move(address));
    auto shares = MakeCard(Thickness{16, 10, 12, 10});
    shares->AddChild(BuildSharesView(config, language, {}));
    page->AddChild(std::move(shares));

    auto root = std::make_unique<Border>();
    root->SetBackground(BorderBackground::WindowBackground);
    root->AddChild(std::move(page));
    return root;
}

void ExpectInside(const Widget& widget, float width) {
    const RectF box = widget.BoundsInWindow();
    if (!box.IsEmpty()) {
        EXPECT_LE(box.Right(), width + kTolerance) << widget.ClassName();
        EXPECT_GE(box.x, -kTolerance) << widget.ClassName();
    }
    for (const auto& child : widget.Children())
        ExpectInside(*child, width);
}

const Label* FindLabel(const Widget& widget, std::u16string_view text) {
    if (const auto* label = dynamic_cast<const Label*>(&widget); label && label->Text() == text)
        return label;
    for (const auto& child : widget.Children()) {
        if (const Label* found = FindLabel(*child, text))
            return found;
    }
    return nullptr;
}

std::filesystem::path ShotFolder() {
    const char* binary = std::getenv("VELTO_BINARY_DIR");
    std::filesystem::path folder =
        std::filesystem::path(binary ? binary : ".") / "tests/app/desktop/shots";
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(DesktopRenderTest, HomePiecesStayInsideTheWindowInEveryLanguageAndScheme) {
    const Config config = SampleConfig();
    for (const UiLanguage language : {UiLanguage::Korean, UiLanguage::English}) {
        for (const bool dark : {false, true}) {
            for (const float width : {940.0f, 640.0f}) {
                const std::string name = std::string(IsKorean(language) ? "ko" : "en") +
                                         (dark ? "-dark-" : "-light-") +
                                         std::to_string(static_cast<int>(width));
                SCOPED_TRACE(name);
                auto root = BuildPage(language, config);
                const Theme theme = dark ? DarkTheme(kDefaultAccent) : LightTheme(kDefaultAccent);
                HeadlessHost host{*root, theme, 1.0f};
                const SizeF size{width, 760};
                ASSERT_EQ(
                    host.RenderToPng(size, (ShotFolder() / ("home-" + name + ".png")).string()), 0);
                ExpectInside(*root, width);

                // The long name gives way to the tags: cut, not pushing them out.
                const Label* longName = FindLabel(*root, config.shares[2].name);
                ASSERT_NE(longName, nullptr);
                const Label* tag = FindLabel(*root, Text(TextId::ClosedToGuests, language));
                ASSERT_NE(tag, nullptr);
                EXPECT_GT(longName->ActualWidth(), 0);
                EXPECT_LE(longName->BoundsInWindow().Right(), tag->BoundsInWindow().x);
            }
        }
    }
}

TEST(DesktopRenderTest, EmptyShareListExplainsHowToShare) {
    auto root = std::make_unique<Border>();
    root->SetBackground(BorderBackground::WindowBackground);
    root->AddChild(BuildSharesView(Config{}, UiLanguage::English, {}));
    HeadlessHost host{*root, LightTheme(kDefaultAccent), 1.0f};
    ASSERT_EQ(host.RenderToPng(SizeF{600, 300}, (ShotFolder() / "home-empty-en.png").string()), 0);
    const Label* title = FindLabel(*root, u"Nothing is shared yet.");
    ASSERT_NE(title, nullptr);
    const RectF box = title->BoundsInWindow();
    EXPECT_NEAR(box.x + box.width / 2, 300, 1.0f); // centred
}

TEST(DesktopRenderTest, QrDialogContentDecodesToTheAddress) {
    const std::u16string address = u"http://192.168.1.5:8080";
    for (const bool dark : {false, true}) {
        auto root = std::make_unique<Border>();
        root->SetBackground(BorderBackground::WindowBackground);
        root->SetPadding(Thickness{24, 24, 24, 24});
        root->AddChild(BuildQrDialogContent(address, UiLanguage::Korean));
        HeadlessHost host{*root, dark ? DarkTheme(kDefaultAccent) : LightTheme(kDefaultAccent),
                          1.25f};
        const auto file = ShotFolder() / (dark ? "qr-ko-dark.png" : "qr-ko-light.png");
        ASSERT_EQ(host.RenderToPng(SizeF{kQrDialogWidth, 380}, file.string()), 0);
        auto decoded = Velto::Corvane::Testing::RunCommand(
            {"bash", "-c", "zbarimg --raw -q '" + file.string() + "' 2>/dev/null"});
        while (!decoded.output.empty() && decoded.output.back() == '\n')
            decoded.output.pop_back();
        EXPECT_EQ(decoded.output, "http://192.168.1.5:8080");
        EXPECT_NE(FindLabel(*root, address), nullptr);
    }
}

} // namespace
} // namespace App
