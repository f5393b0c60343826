// Message dialogs: the buttons of each set, the answer for each way the
// dialog ends, and the content drawn without a display.
#include "widget/dialogs/message_dialog.h"

#include "widget/core/grid.h"
#include "widget/core/icon.h"
#include "widget/core/label.h"
#include "widget/input/headless_host.h"
#include "widget/render/cairo_canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace Velto::Widget::Kit {
namespace {

TEST(MessageDialog, ButtonsOfEachSet) {
    using B = MessageButton;
    struct Case {
        MessageButtons set;
        bool defaultSecond;
        std::vector<MessageButton> buttons;
    };
    // Labels: 0 OK, 1 Cancel, 2 Yes, 3 No.
    const Case cases[] = {
        {MessageButtons::Ok, false, {B{0, 1, true, true}}},
        {MessageButtons::Ok, true, {B{0, 1, true, true}}},
        {MessageButtons::OkCancel, false, {B{0, 1, true, false}, B{1, 2, false, true}}},
        {MessageButtons::OkCancel, true, {B{0, 1, false, false}, B{1, 2, true, true}}},
        {MessageButtons::YesNo, false, {B{2, 6, true, false}, B{3, 7, false, true}}},
        {MessageButtons::YesNo, true, {B{2, 6, false, false}, B{3, 7, true, true}}},
        {MessageButtons::YesNoCancel,
         false,
         {B{2, 6, true, false}, B{3, 7, false, false}, B{1, 2, false, true}}},
        {MessageButtons::YesNoCancel,
         true,
         {B{2, 6, false, false}, B{3, 7, true, false}, B{1, 2, false, true}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MessageButtonsOf(c.set, c.defaultSecond), c.buttons)
            << static_cast<int>(c.set) << " defaultSecond=" << c.defaultSecond;
    }
}

TEST(MessageDialog, ClosingWithoutAButtonGivesTheSafeAnswer) {
    struct Case {
        MessageButtons set;
        std::int32_t ended;
        std::int32_t result;
    };
    const Case cases[] = {
        // Closed by the window's close box (or never shown): 2.
        {MessageButtons::YesNo, 2, 7},
        {MessageButtons::Ok, 2, 1},
        {MessageButtons::OkCancel, 2, 2},
        {MessageButtons::YesNoCancel, 2, 2},
        // A pressed button answers for itself.
        {MessageButtons::YesNo, 6, 6},
        {MessageButtons::YesNo, 7, 7},
        {MessageButtons::YesNoCancel, 7, 7},
        {MessageButtons::OkCancel, 1, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageResult(c.set, c.ended), c.result) << static_cast<int>(c.set);
}

const Icon* FindIcon(const Widget& root) {
    for (const auto& child : root.Children()) {
        if (const auto* icon = dynamic_cast<const Icon*>(child.get()))
            return icon;
    }
    return nullptr;
}

class MessageContent : public ::testing::TestWithParam<ThemeKind> {};

TEST_P(MessageContent, IconBesideWrappedText) {
    const Theme theme =
        GetParam() == ThemeKind::Dark ? DarkTheme(kDefaultAccent) : LightTheme(kDefaultAccent);
    const std::u16string text = u"The certificate file could not be read. Check that the file is "
                                u"a PFX file and that the password is right.";
    struct Kind {
        MessageIcon icon;
        char32_t glyph;
        Color color;
    };
    const Kind kinds[] = {
        {MessageIcon::Information, 0xE946, theme.accent},
        {MessageIcon::Warning, 0xE7BA, theme.caution},
        {MessageIcon::Error, 0xEA39, theme.critical},
        {MessageIcon::Question, 0xE897, theme.accent},
    };
    for (const Kind& kind : kinds) {
        std::unique_ptr<Widget> content = BuildMessageContent(text, kind.icon);
        const Icon* icon = FindIcon(*content);
        ASSERT_NE(icon, nullptr);
        HeadlessHost host(*content, theme);
        // The dialog is 420 wide with margins of 24 on each side.
        const SizeF size{372, 80};
        host.Layout(size);
        const RectF box = icon->ArrangedBox();
        EXPECT_FLOAT_EQ(box.x, 0);
        EXPECT_FLOAT_EQ(box.y, 0) << "the icon sits at the top";
        EXPECT_FLOAT_EQ(box.width, 32);
        auto canvas = host.Render(size);
        ASSERT_TRUE(canvas && canvas->IsValid());
        if (const char* dir = std::getenv("VELTO_WIDGET_SHOTS")) {
            canvas->WritePng((std::filesystem::path(dir) /
                              ("message_" + std::to_string(static_cast<int>(kind.icon)) +
                               (GetParam() == ThemeKind::Dark ? "_dark.png" : "_light.png")))
                                 .string());
        }
        // The glyph is drawn in its tone somewhere in its box.
        bool toned = false;
        for (int y = 0; y < 32 && !toned; ++y) {
            for (int x = 0; x < 32 && !toned; ++x) {
                const Rgba8 p = canvas->PixelAt(x, y);
                toned = std::abs(p.r - kind.color.r * 255) < 3 &&
                        std::abs(p.g - kind.color.g * 255) < 3 &&
                        std::abs(p.b - kind.color.b * 255) < 3;
            }
        }
        EXPECT_TRUE(toned) << "icon " << static_cast<int>(kind.icon);
        // The text wraps beside the icon: 32 + 16 in.
        const auto* grid = static_cast<const Grid*>(content.get());
        ASSERT_EQ(grid->ColumnSizes().size(), 2u);
        EXPECT_FLOAT_EQ(grid->ColumnSizes()[0], 32);
        const Widget* label = grid->Children().back().get();
        EXPECT_FLOAT_EQ(label->X(), 48);
        EXPECT_GT(label->DesiredSize().height, 2 * theme.bodySize) << "two lines or more";
    }
    // Without an icon there is only the text.
    std::unique_ptr<Widget> plain = BuildMessageContent(u"Saved.", MessageIcon::None);
    EXPECT_EQ(FindIcon(*plain), nullptr);
    EXPECT_EQ(plain->Children().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Themes, MessageContent,
                         ::testing::Values(ThemeKind::Light, ThemeKind::Dark));

} // namespace
} // namespace Velto::Widget::Kit
