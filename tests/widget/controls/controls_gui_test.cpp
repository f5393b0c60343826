// The input controls in a real toolkit window on a private X server with a
// window manager, driven with xdotool as a user would: typing (Korean too),
// the desktop clipboard as other programs see it (xclip), the edit menu, a
// combo box opened from the keyboard and by the pointer, and a long list
// scrolled with the wheel and keys and selected with clicks; an opened list
// is whole on the screen from its first moment.
#include "widget/controls/button.h"
#include "widget/controls/combo_box.h"
#include "widget/controls/combo_popup.h"
#include "widget/controls/number_box.h"
#include "widget/controls/text_box.h"
#include "widget/core/scroll_viewer.h"
#include "widget/core/stack.h"
#include "widget/list/list_data_source.h"
#include "widget/list/list_view.h"
#include "widget/menu/menu_popup.h"
#include "widget/render/cairo_canvas.h"
#include "widget/window/dialog.h"
#include "widget/window/standard_labels.h"

#include <atomic>
#include <cmath>
#include <string>
#include <vector>

// Last: it brings in Xlib and its macros.
#include "tests/widget/window/gui_rig.h"

namespace Velto::Widget::Testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

using Controls::ComboBox;
using Controls::ComboPopup;
using Controls::TextBox;

constexpr std::int64_t kListRows = 300;

class NumberedRows final : public List::IListDataSource {
public:
    NumberedRows() {
        for (std::int64_t i = 0; i < kListRows; ++i)
            m_texts.push_back(u"Row " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)));
    }
    std::int64_t RowCount() const override { return kListRows; }
    std::u16string_view CellText(std::int64_t row, std::int32_t) const override {
        return m_texts[static_cast<std::size_t>(row)];
    }

private:
    std::vector<std::u16string> m_texts;
};

// One window with a text box, a combo box and a long list, none of them
// given a clipboard, menu or popup of their own: the window provides them.
struct ControlsWindow {
    std::unique_ptr<Window> window;
    TextBox* box{nullptr};
    ComboBox* combo{nullptr};
    List::ListView* list{nullptr};
    NumberedRows rows;
    std::vector<int> comboChanges;

    bool Open() {
        auto root = std::make_unique<Stack>(Orientation::Vertical, 8);
        box = root->Add(std::make_unique<TextBox>());
        box->SetWidth(300);
        combo = root->Add(std::make_unique<ComboBox>());
        combo->SetItems({u"Korean", u"English", u"Japanese", u"Chinese", u"Kazakh"});
        combo->SetSelectedIndex(0, false);
        combo->SetOnSelectionChanged([this](int index) { comboChanges.push_back(index); });
        list = root->Add(std::make_unique<List::ListView>());
        list->SetHeight(240);
        list->SetWidth(300);
        List::Column column;
        column.title = u"Name";
        column.width = 200;
        list->AddColumn(column);
        list->SetSelectionMode(Models::SelectionMode::Extended);
        list->SetSource(&rows);

        window = std::make_unique<Window>();
        WindowOptions options = Options(u"Controls", 360, 360);
        options.hasPosition = true;
        options.x = 40;
        options.y = 40;
        if (!window->Create(options))
            return false;
        window->SetThemeSource([] { return LightTheme(kDefaultAccent); });
        window->SetRoot(std::move(root));
        window->Show();
        return PumpUntil([&] { return window->IsShown() && window->IsActive(); });
    }

    // A point of the window (client DIPs) on the screen, in pixels.
    std::pair<int, int> ScreenPoint(PointF dips) const {
        const ScreenBounds client = window->ClientScreenBounds();
        const float scale = window->DpiScale();
        return {client.x + static_cast<int>(std::lround(dips.x * scale)),
                client.y + static_cast<int>(std::lround(dips.y * scale))};
    }
    PointF RowCentre(std::int64_t row) const {
        const RectF bounds = list->BoundsInWindow();
        const RectF area = list->RowsArea();
        return PointF{bounds.x + area.x + 40, bounds.y + area.y +
                                                  static_cast<float>(list->RowTop(row)) +
                                                  list->RowHeight() / 2};
    }
};

// Runs xdotool (or any command) while the UI loop goes on, and waits for
// the condition afterwards.
bool Drive(const std::vector<std::string>& argv, const std::function<bool()>& condition) {
    Driver driver([argv] { Command(argv); });
    return PumpUntil([&] { return driver.Done() && condition(); });
}

std::vector<std::string> Keys(std::initializer_list<std::string> keys) {
    std::vector<std::string> argv{"xdotool", "key", "--delay", "60"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    return argv;
}

// What another program reads from the clipboard (xclip asks the owner,
// which answers from the UI loop).
std::string ClipboardText() {
    std::string out;
    Driver driver([&] { out = Command({"xclip", "-selection", "clipboard", "-o"}); });
    PumpUntil([&] { return driver.Done(); });
    return out;
}

// Another program takes the clipboard with a text (xclip stays behind to
// serve it until someone else takes the clipboard).
void OfferOnClipboard(const std::string& text) {
    Drive({"sh", "-c", "printf %s '" + text + "' | xclip -selection clipboard -i >/dev/null 2>&1"},
          [] { return true; });
}

const Window* ShownPopupOf(const Window& owner) {
    for (Window* window : Application::Instance().Windows())
        if (window->IsPopup() && window->IsShown() && window->Owner() == &owner)
            return window;
    return nullptr;
}

TEST(ControlsGuiTest, TypingAndTheDesktopClipboard) {
    ControlsWindow w;
    ASSERT_TRUE(w.Open());
    ASSERT_TRUE(w.window->SetFocus(w.box, false));

    // A keyboard with the syllables on keys of their own. xdotool types a
    // character missing from the keymap by mapping it onto a spare keycode
    // just before its keystroke and the next character onto the same
    // keycode after it; the window reads the map only when it handles the
    // keystroke, and under load it finds the next character's (or none)
    // there and a syllable is lost. With the keys in place first, the map
    // holds still while xdotool types.
    ASSERT_EQ(GuiEnvironment::X()
                  .Run({"xmodmap", "-e", "keycode any = UD55C", "-e", "keycode any = UAE00"})
                  .status,
              0);
    const std::u16string typed = u"Hello, 한글 box";
    EXPECT_TRUE(Drive({"xdotool", "type", "--delay", "40", "Hello, 한글 box"},
                      [&] { return w.box->GetText() == typed; }))
        << "got " << w.box->GetText().size() << " units";

    // Ctrl+A and Ctrl+C put the whole text on the desktop clipboard.
    EXPECT_TRUE(Drive(Keys({"ctrl+a", "ctrl+c"}), [&] {
        return w.box->Model().SelectionEnd() - w.box->Model().SelectionStart() == typed.size();
    }));
    EXPECT_EQ(ClipboardText(), "Hello, 한글 box");

    // Text another program put there replaces the selection on Ctrl+V.
    OfferOnClipboard("붙여넣기 pasted");
    EXPECT_TRUE(
        Drive(Keys({"ctrl+a", "ctrl+v"}), [&] { return w.box->GetText() == u"붙여넣기 pasted"; }))
        << "got " << w.box->GetText().size() << " units";

    // Ctrl+X cuts to the clipboard; Ctrl+Z brings the text back.
    EXPECT_TRUE(Drive(Keys({"ctrl+a", "ctrl+x"}), [&] { return w.box->GetText().empty(); }));
    EXPECT_EQ(ClipboardText(), "붙여넣기 pasted");
    EXPECT_TRUE(Drive(Keys({"ctrl+z"}), [&] { return w.box->GetText() == u"붙여넣기 pasted"; }));
}

TEST(ControlsGuiTest, APasswordBoxShowsTheCapsLockBadgeWhileTheLockIsOn) {
    ControlsWindow w;
    ASSERT_TRUE(w.Open());
    w.box->SetPassword(true, false);
    ASSERT_TRUE(w.window->SetFocus(w.box, false));
    EXPECT_FALSE(w.box->CapsLockBadgeShown());
    EXPECT_TRUE(Drive(Keys({"Caps_Lock"}), [&] { return w.box->CapsLockBadgeShown(); }));
    // Only while the box has the focus.
    ASSERT_TRUE(w.window->SetFocus(w.combo, false));
    EXPECT_FALSE(w.box->CapsLockBadgeShown());
    ASSERT_TRUE(w.window->SetFocus(w.box, false));
    EXPECT_TRUE(Drive(Keys({"Caps_Lock"}), [&] { return !w.box->CapsLockBadgeShown(); }));
}

TEST(ControlsGuiTest, TheEditMenuOpensInItsOwnPopupAndActs) {
    ControlsWindow w;
    ASSERT_TRUE(w.Open());
    ASSERT_TRUE(w.window->SetFocus(w.box, false));
    w.box->SetText(u"old");
    w.box->SelectAll();
    OfferOnClipboard("from the menu");
    // The menu speaks the toolkit's label language.
    Kit::SetLabelLanguage(Kit::kLanguageKorean);

    // Shift+F10 opens the menu at the caret without taking the keyboard
    // from the window; P (Paste) chooses by its access key.
    EXPECT_TRUE(Drive(Keys({"shift+F10"}), [&] {
        return dynamic_cast<const Menus::MenuPopup*>(ShownPopupOf(*w.window)) != nullptr;
    }));
    const std::vector<MenuItem> items = w.box->EditMenuItems();
    ASSERT_EQ(items.size(), 8u);
    EXPECT_TRUE(items[4].enabled) << "Paste, with text on the clipboard";
    EXPECT_EQ(items[4].text, u"붙여넣기(&P)");
    EXPECT_EQ(items[7].text, u"모두 선택(&A)");
    EXPECT_TRUE(Drive(
        Keys({"p"}),
        [&] { return w.box->GetText() == u"from the menu" && ShownPopupOf(*w.window) == nullptr; }))
        << "got " << w.box->GetText().size() << " units";
    EXPECT_TRUE(w.window->IsActive());

    // The right button opens it too; Escape closes it without a change.
    const RectF bounds = w.box->BoundsInWindow();
    const auto [x, y] = w.ScreenPoint(PointF{bounds.x + 20, bounds.y + bounds.height / 2});
    EXPECT_TRUE(Drive({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", "3"},
                      [&] { return ShownPopupOf(*w.window) != nullptr; }));
    EXPECT_TRUE(Drive(Keys({"Escape"}), [&] { return ShownPopupOf(*w.window) == nullptr; }));
    EXPECT_EQ(w.box->GetText(), u"from the menu");
    Kit::SetLabelLanguage(std::nullopt);
}

TEST(ControlsGuiTest, AComboBoxOpensFromTheKeyboardAndChoosesByKeyAndClick) {
    ControlsWindow w;
    ASSERT_TRUE(w.Open());
    ASSERT_TRUE(w.window->SetFocus(w.combo, true));

    // Alt+Down drops the list below the box in a popup as wide as the box;
    // the window keeps the keyboard.
    ASSERT_TRUE(Drive(Keys({"alt+Down"}),
                      [&] { return w.combo->IsOpen() && ShownPopupOf(*w.window) != nullptr; }));
    const Window* popup = ShownPopupOf(*w.window);
    ASSERT_NE(dynamic_cast<const ComboPopup*>(popup), nullptr);
    const ScreenBounds list = popup->ClientScreenBounds();
    const RectF box = w.combo->BoundsInWindow();
    const auto [boxLeft, boxBottom] = w.ScreenPoint(PointF{box.x, box.Bottom()});
    EXPECT_EQ(list.x, boxLeft);
    EXPECT_EQ(list.y, boxBottom);
    EXPECT_EQ(list.width, static_cast<int>(std::lround(box.width * w.window->DpiScale())));
    EXPECT_EQ(list.height, static_cast<int>(std::lround((5 * 32 + 8) * w.window->DpiScale())));
    EXPECT_TRUE(w.window->IsActive());

    // Down twice and Enter choose the third item and close the list.
    EXPECT_TRUE(Drive(Keys({"Down", "Down", "Return"}),
                      [&] { return !w.combo->IsOpen() && ShownPopupOf(*w.window) == nullptr; }));
    EXPECT_EQ(w.combo->GetSelectedIndex(), 2);
    EXPECT_EQ(w.comboChanges, (std::vector<int>{2}));

    // F4 opens it again; a click on the last row chooses it.
    ASSERT_TRUE(Drive(Keys({"F4"}), [&] { return ShownPopupOf(*w.window) != nullptr; }));
    const ScreenBounds again = ShownPopupOf(*w.window)->ClientScreenBounds();
    const float scale = w.window->DpiScale();
    const int rowX = again.x + again.width / 2;
    const int rowY = again.y + static_cast<int>(std::lround((4 + 4 * 32 + 16) * scale));
    EXPECT_TRUE(Drive({"xdotool", "mousemove", std::to_string(rowX), std::to_string(rowY), "sleep",
                       "0.2", "click", "1"},
                      [&] { return !w.combo->IsOpen(); }));
    EXPECT_EQ(w.combo->GetSelectedIndex(), 4);

    // A press outside closes it without a change.
    ASSERT_TRUE(Drive(Keys({"alt+Down"}), [&] { return ShownPopupOf(*w.window) != nullptr; }));
    const auto [outX, outY] = w.ScreenPoint(PointF{340, 340});
    EXPECT_TRUE(Drive({"xdotool", "mousemove", std::to_string(outX), std::to_string(outY), "sleep",
                       "0.2", "click", "1"},
                      [&] { return !w.combo->IsOpen() && ShownPopupOf(*w.window) == nullptr; }));
    EXPECT_EQ(w.combo->GetSelectedIndex(), 4);
    EXPECT_EQ(w.comboChanges, (std::vector<int>{2, 4}));

    // Space opens it (its character must not choose at once); Up and Space
    // choose the row above.
    ASSERT_TRUE(Drive(Keys({"space"}), [&] { return ShownPopupOf(*w.window) != nullptr; }));
    PumpFor(0.3);
    EXPECT_TRUE(w.combo->IsOpen()) << "the list closed on the key that opened it";
    EXPECT_TRUE(Drive(Keys({"Up", "space"}),
                      [&] { return !w.combo->IsOpen() && ShownPopupOf(*w.window) == nullptr; }));
    EXPECT_EQ(w.combo->GetSelectedIndex(), 3);
    EXPECT_EQ(w.comboChanges, (std::vector<int>{2, 4, 3}));
}

// What the screen shows of a window, row by row, against a full paint of
// it: the rows that differ by more than rounding.
int RowsUnlikeAFullPaint(Window& window, const std::vector<XLook::Rgb>& shown, int width,
                         int height) {
    CairoCanvas canvas(width, height, window.DpiScale());
    window.Frame(canvas);
    const auto near = [](int a, int b) { return std::abs(a - b) <= 2; };
    int rows = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgba8 painted = canvas.PixelAt(x, y);
            const XLook::Rgb& seen = shown[static_cast<std::size_t>(y) * width + x];
            if (!near(seen.r, painted.r) || !near(seen.g, painted.g) || !near(seen.b, painted.b)) {
                ++rows;
                break;
            }
        }
    }
    return rows;
}

// A list is whole on the screen from the moment it is mapped and stays so:
// opened by key and by click, short and grown to more items than it shows
// (its popup is made larger), and opened again at once after closing.
TEST(ControlsGuiTest, AnOpenedListIsWhollyDrawnFromItsFirstMoment) {
    ControlsWindow w;
    ASSERT_TRUE(w.Open());
    ASSERT_TRUE(w.window->SetFocus(w.combo, true));
    const XLook look;
    const std::vector<std::u16string> shortItems{u"Korean", u"English", u"Japanese"};
    std::vector<std::u16string> longItems;
    for (int i = 0; i < 12; ++i)
        longItems.push_back(u"Language " + std::u16string(1, static_cast<char16_t>(u'A' + i)));
    struct Case {
        const char* name;
        const std::vector<std::u16string>* items;
        int selected;
        bool byClick;
    };
    const Case cases[] = {
        {"short, by key", &shortItems, 0, false},
        {"grown, by key", &longItems, 10, false},
        {"grown, by click", &longItems, 10, true},
        {"short again, by click", &shortItems, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w.combo->SetItems(*c.items);
        w.combo->SetSelectedIndex(c.selected, false);
        for (int opening = 0; opening < 2; ++opening) {
            if (c.byClick) {
                const RectF box = w.combo->BoundsInWindow();
                const auto [x, y] = w.ScreenPoint(PointF{box.x + 20, box.y + box.height / 2});
                ASSERT_TRUE(Drive(
                    {"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", "1"},
                    [&] { return ShownPopupOf(*w.window) != nullptr; }));
            } else {
                ASSERT_TRUE(
                    Drive(Keys({"alt+Down"}), [&] { return ShownPopupOf(*w.window) != nullptr; }));
            }
            auto* popup = const_cast<Window*>(ShownPopupOf(*w.window));
            // At once, a moment later and after the time a slow first paint
            // was seen half done.
            std::vector<std::vector<XLook::Rgb>> seen;
            int width = 0;
            int height = 0;
            for (const double wait : {0.0, 0.1, 0.6}) {
                PumpFor(wait);
                const auto pixels = look.Pixels(popup->XWindow(), width, height);
                ASSERT_TRUE(pixels.has_value());
                seen.push_back(*pixels);
            }
            const ScreenBounds bounds = popup->ClientScreenBounds();
            EXPECT_EQ(width, bounds.width);
            EXPECT_EQ(height, bounds.height);
            for (std::size_t i = 0; i < seen.size(); ++i)
                EXPECT_EQ(RowsUnlikeAFullPaint(*popup, seen[i], width, height), 0)
                    << "sample " << i << " of opening " << opening;
            ASSERT_TRUE(
                Drive(Keys({"Escape"}), [&] { return ShownPopupOf(*w.window) == nullptr; }));
        }
    }
}

// In a dialog, Enter on a closed combo box presses the default button;
// Space still opens the list, and Enter in the open list chooses only.
TEST(ControlsGuiTest, EnterOnAComboBoxInADialogPressesTheDefaultButton) {
    ControlsWindow w;
    ASSERT_TRUE(w.Open());
    Dialog dialog(320);
    auto* combo = dialog.Content().Add(std::make_unique<ComboBox>());
    combo->SetItems({u"One", u"Two", u"Three"});
    combo->SetSelectedIndex(0, false);
    dialog.AddButton(std::make_unique<Button>(u"OK"), 1, true, false);
    dialog.SetInitialFocus(combo);
    bool sawOpen = false;
    bool stillRunningAfterChoice = false;
    // Reads the toolkit on its own thread, from the driving thread.
    const auto onUi = [](const std::function<bool()>& read) {
        std::atomic<int> answer{-1};
        Application::Instance().Post([&] { answer = read() ? 1 : 0; });
        WaitOnThread([&] { return answer.load() >= 0; });
        return answer.load() == 1;
    };
    const auto waitOnUi = [&](const std::function<bool()>& condition) {
        return WaitOnThread([&] { return onUi(condition); });
    };
    Driver driver([&] {
        // A step that goes wrong ends the run instead of hanging the test.
        const auto endRun = [&dialog] {
            Application::Instance().Post([&dialog] { dialog.EndDialog(-1); });
        };
        if (!waitOnUi([&] { return dialog.IsShown() && dialog.IsActive(); }))
            return endRun();
        Command(Keys({"space"}));
        sawOpen = waitOnUi([&] { return combo->IsOpen(); });
        Command(Keys({"Down", "Return"}));
        waitOnUi([&] { return !combo->IsOpen(); });
        stillRunningAfterChoice = onUi([&] { return dialog.IsShown(); });
        Command(Keys({"Return"}));
        if (!waitOnUi([&] { return !dialog.IsRunningModally(); }))
            endRun();
    });
    EXPECT_EQ(dialog.ShowModal(w.window.get(), u"Question"), 1);
    PumpUntil([&] { return driver.Done(); });
    EXPECT_TRUE(sawOpen) << "Space did not open the list";
    EXPECT_TRUE(stillRunningAfterChoice) << "Enter in the open list also pressed OK";
    EXPECT_EQ(combo->GetSelectedIndex(), 1);
    EXPECT_FALSE(combo->IsOpen());
}

// A page scrolled with the wheel carries a focused number box under the
// resting pointer: the page goes on scrolling and the number stays. Once the
// user moves the pointer onto the focused box, the wheel steps it.
TEST(ControlsGuiTest, TheWheelScrollsThePagePastAFocusedNumberBox) {
    auto page = std::make_unique<Stack>(Orientation::Vertical, 0);
    page->Add(std::make_unique<Stack>())->SetHeight(250);
    auto* number = page->Add(std::make_unique<Controls::NumberBox>());
    number->SetWidth(200);
    number->SetRange(1, 65535);
    number->SetValue(9000, false);
    page->Add(std::make_unique<Stack>())->SetHeight(900);
    auto root = std::make_unique<ScrollViewer>();
    ScrollViewer* viewer = root.get();
    root->SetScrollModes(ScrollMode::Scrollable, ScrollMode::Disabled);
    root->SetContent(std::move(page));

    Window window;
    WindowOptions options = Options(u"Page", 360, 360);
    options.hasPosition = true;
    options.x = 40;
    options.y = 40;
    ASSERT_TRUE(window.Create(options));
    window.SetThemeSource([] { return LightTheme(kDefaultAccent); });
    window.SetRoot(std::move(root));
    window.Show();
    ASSERT_TRUE(PumpUntil([&] { return window.IsShown() && window.IsActive(); }));
    ASSERT_TRUE(window.SetFocus(&number->Inner(), true));
    const auto screen = [&](PointF dips) {
        const ScreenBounds client = window.ClientScreenBounds();
        const float scale = window.DpiScale();
        return std::pair{std::to_string(client.x + static_cast<int>(std::lround(dips.x * scale))),
                         std::to_string(client.y + static_cast<int>(std::lround(dips.y * scale)))};
    };

    // The pointer rests above the box; six notches down bring the box under
    // it after three and carry it past.
    const auto [x, y] = screen(PointF{100, 120});
    EXPECT_TRUE(Drive({"xdotool", "mousemove", x, y, "sleep", "0.2", "click", "--delay", "80",
                       "--repeat", "6", "5"},
                      [&] { return viewer->Offset().y >= 6 * ScrollViewer::kWheelStep - 0.5f; }))
        << viewer->Offset().y;
    EXPECT_DOUBLE_EQ(number->GetValue(), 9000);

    // Moved onto the focused box, the wheel steps the number, not the page.
    viewer->ScrollTo(0, 0);
    PumpFor(0.1);
    const RectF box = number->Inner().BoundsInWindow();
    const auto [bx, by] = screen(PointF{box.x + 20, box.y + box.height / 2});
    EXPECT_TRUE(Drive({"xdotool", "mousemove", bx, by, "sleep", "0.2", "click", "4"}, [&] {
        return number->GetValue() == 9001;
    })) << number->GetValue();
    EXPECT_FLOAT_EQ(viewer->Offset().y, 0);
}

TEST(ControlsGuiTest, ALongListScrollsByWheelAndKeysAndSelectsByClicks) {
    ControlsWindow w;
    ASSERT_TRUE(w.Open());
    List::ListView& list = *w.list;
    const Models::SelectionModel& selection = list.Selection();

    // A click selects one row; Shift+click selects the range from it.
    const auto [x2, y2] = w.ScreenPoint(w.RowCentre(2));
    const auto [x5, y5] = w.ScreenPoint(w.RowCentre(5));
    EXPECT_TRUE(
        Drive({"xdotool", "mousemove", std::to_string(x2), std::to_string(y2), "click", "1"},
              [&] { return selection.IsSelected(2) && selection.SelectedCount() == 1; }));
    EXPECT_TRUE(Drive({"xdotool", "mousemove", std::to_string(x5), std::to_string(y5), "keydown",
                       "shift", "click", "1", "keyup", "shift"},
                      [&] { return selection.SelectedCount() == 4; }));
    for (std::int64_t row = 2; row <= 5; ++row)
        EXPECT_TRUE(selection.IsSelected(row)) << row;
    EXPECT_EQ(selection.Anchor(), 2);
    EXPECT_EQ(selection.Current(), 5);

    // Three notches of the wheel scroll down; one back scrolls up again.
    EXPECT_TRUE(Drive({"xdotool", "click", "--delay", "60", "--repeat", "3", "5"}, [&] {
        return !list.IsScrollAnimating() && list.ScrollOffset() > 3 * list.RowHeight();
    })) << list.ScrollOffset();
    const double scrolled = list.ScrollOffset();
    EXPECT_TRUE(Drive({"xdotool", "click", "4"},
                      [&] { return !list.IsScrollAnimating() && list.ScrollOffset() < scrolled; }));

    // End goes to the last row and scrolls it into view; Home comes back.
    ASSERT_TRUE(w.window->Focused() == &list || w.window->SetFocus(&list, true));
    EXPECT_TRUE(Drive(Keys({"End"}),
                      [&] {
                          return selection.Current() == kListRows - 1 &&
                                 !list.IsScrollAnimating() &&
                                 list.ScrollOffset() == list.MaxScrollOffset();
                      }))
        << list.ScrollOffset() << " of " << list.MaxScrollOffset();
    EXPECT_EQ(selection.SelectedCount(), 1);
    EXPECT_TRUE(Drive(Keys({"Page_Up"}), [&] {
        return selection.Current() < kListRows - 1 && !list.IsScrollAnimating();
    }));
    EXPECT_GE(list.FirstVisibleRow(), 0);
    EXPECT_LE(list.FirstVisibleRow(), selection.Current());
    EXPECT_TRUE(Drive(Keys({"Home"}), [&] {
        return selection.Current() == 0 && !list.IsScrollAnimating() && list.ScrollOffset() == 0;
    }));
    // Shift+Down twice extends from the anchor.
    EXPECT_TRUE(Drive(Keys({"shift+Down", "shift+Down"}),
                      [&] { return selection.SelectedCount() == 3 && selection.Current() == 2; }));
}

} // namespace
} // namespace Velto::Widget::Testing
