// The list view driven through the headless host: virtualisation, keys,
// pointer selection, type-ahead, reloads, the header and scrolling.
#include "widget/input/headless_host.h"
#include "widget/input/key_codes.h"
#include "widget/list/list_view.h"
#include "widget/list/scroll_motion.h"
#include "widget/list/system_timing.h"
#include "widget/render/cairo_canvas.h"

#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

namespace Velto::Widget::List {
namespace {

// Rows named by their number ("Row 12"), with counters of every query.
class CountingSource final : public IListDataSource {
public:
    explicit CountingSource(std::int64_t rows) : m_rows(rows) {}
    std::int64_t RowCount() const override { return m_rows; }
    std::u16string_view CellText(std::int64_t row, std::int32_t column) const override {
        ++cellQueries;
        lowestRow = std::min(lowestRow, row);
        highestRow = std::max(highestRow, row);
        if (!names.empty())
            m_text = names[static_cast<std::size_t>(row)];
        else
            m_text = u"Row " + ToU16(row) + (column == 1 ? u" size" : u"");
        return m_text;
    }
    void SetRows(std::int64_t rows) { m_rows = rows; }
    static std::u16string ToU16(std::int64_t value) {
        const std::string s = std::to_string(value);
        return std::u16string(s.begin(), s.end());
    }

    std::vector<std::u16string> names;
    mutable std::int64_t cellQueries{0};
    mutable std::int64_t lowestRow{INT64_MAX};
    mutable std::int64_t highestRow{-1};

private:
    std::int64_t m_rows;
    mutable std::u16string m_text;
};

constexpr SizeF kSize{400, 32 + 10 * 32}; // a header and ten rows

struct Fixture {
    ListView list;
    CountingSource source;
    HeadlessHost host;
    explicit Fixture(std::int64_t rows) : source(rows), host(list, LightTheme(kDefaultAccent)) {
        host.SetAnimationsEnabled(false);
        list.SetRowHeight(32);
        list.AddColumn(Column{0, u"Name", 200});
        list.AddColumn(Column{1, u"Size", 120});
        list.SetSource(&source);
        host.Layout(kSize);
        list.RequestFocus(true);
    }
    bool Key(std::uint32_t key, std::uint32_t modifiers = 0) {
        return host.KeyDown(KeyEvent{key, 0, modifiers});
    }
    void Char(char32_t c) { host.Char(CharEvent{c}); }
    // A press and release at the centre of a row (window coordinates).
    void Click(std::int64_t row, std::uint32_t modifiers = 0, int clicks = 1) {
        const PointF at{100, ListHeader::kHeight + static_cast<float>(list.RowTop(row)) +
                                 list.RowHeight() / 2};
        host.PointerDown(PointerEvent{at, PointerButton::Left, modifiers, clicks});
        host.PointerUp(PointerEvent{at, PointerButton::Left, modifiers, clicks});
    }
    std::vector<Models::RowRange> Ranges() const { return list.Selection().Ranges(); }
};

using Ranges = std::vector<Models::RowRange>;

TEST(ListView, MillionRowsAskOnlyForVisibleRows) {
    Fixture f(1'000'000);
    f.host.Render(kSize);
    EXPECT_EQ(f.source.cellQueries, 2 * 10); // two columns of the ten rows shown
    EXPECT_EQ(f.source.highestRow, 9);

    f.source.cellQueries = 0;
    f.source.lowestRow = INT64_MAX;
    f.Key(kKeyEnd);
    f.host.Render(kSize);
    EXPECT_EQ(f.list.Selection().Current(), 999'999);
    EXPECT_LE(f.source.cellQueries, 2 * 11);
    EXPECT_GE(f.source.lowestRow, 999'989);
    EXPECT_DOUBLE_EQ(f.list.ScrollOffset(), f.list.MaxScrollOffset());
    EXPECT_DOUBLE_EQ(f.list.MaxScrollOffset(), 1'000'000.0 * 32 - 10 * 32);
    // Kept texts stay near the viewport however far the list scrolled.
    EXPECT_LE(f.list.CachedRowCount(), 3u * 11);
}

TEST(ListView, ArrowHomeEndAndPageKeys) {
    Fixture f(100);
    f.Key(kKeyDown);
    EXPECT_EQ(f.Ranges(), (Ranges{{0, 1}}));
    f.Key(kKeyDown);
    f.Key(kKeyDown, kModShift);
    f.Key(kKeyDown, kModShift);
    EXPECT_EQ(f.Ranges(), (Ranges{{1, 4}}));
    f.Key(kKeyDown, kModCtrl); // moves only the current row
    EXPECT_EQ(f.list.Selection().Current(), 4);
    EXPECT_EQ(f.Ranges(), (Ranges{{1, 4}}));
    f.Key(kKeyPageDown); // to the last row shown whole first
    EXPECT_EQ(f.list.Selection().Current(), 9);
    f.Key(kKeyPageDown); // then a page on
    EXPECT_EQ(f.list.Selection().Current(), 18);
    EXPECT_TRUE(f.list.RowTop(18) + 32 <= 10 * 32); // scrolled into view
    f.Key(kKeyPageUp);
    EXPECT_EQ(f.list.Selection().Current(), 9);
    f.Key(kKeyEnd);
    f.Key(kKeyDown);
    EXPECT_EQ(f.list.Selection().Current(), 99); // no wrap
    f.Key(kKeyHome, kModShift);
    EXPECT_EQ(f.Ranges(), (Ranges{{0, 100}}));
    f.Key(kKeyHome);
    f.Key(KeyOf('A'), kModCtrl);
    EXPECT_EQ(f.list.Selection().SelectedCount(), 100);
}

TEST(ListView, EmptyListShowsTextAndIgnoresKeys) {
    Fixture f(0);
    f.Key(kKeyDown);
    f.Key(kKeyEnd);
    EXPECT_EQ(f.list.Selection().Current(), -1);
    EXPECT_EQ(f.source.cellQueries, 0);
    f.host.Render(kSize); // draws the empty text without asking for rows
    EXPECT_EQ(f.source.cellQueries, 0);
}

TEST(ListView, ClickShiftClickCtrlClick) {
    Fixture f(50);
    f.Click(2);
    f.Click(5, kModShift);
    EXPECT_EQ(f.Ranges(), (Ranges{{2, 6}}));
    f.Click(8, kModCtrl);
    EXPECT_EQ(f.Ranges(), (Ranges{{2, 6}, {8, 9}}));
    f.Click(3, kModCtrl);
    EXPECT_EQ(f.Ranges(), (Ranges{{2, 3}, {4, 6}, {8, 9}}));
    // A plain press on a row of several keeps them until the release.
    const PointF at{100, ListHeader::kHeight + 4 * 32 + 16};
    f.host.PointerDown(PointerEvent{at, PointerButton::Left});
    EXPECT_EQ(f.list.Selection().SelectedCount(), 4);
    f.host.PointerUp(PointerEvent{at, PointerButton::Left});
    EXPECT_EQ(f.Ranges(), (Ranges{{4, 5}}));
    // A press below the last row clears the selection.
    f.source.SetRows(3);
    f.list.Reload();
    f.Click(1);
    f.host.PointerDown(
        PointerEvent{PointF{100, ListHeader::kHeight + 6 * 32}, PointerButton::Left});
    f.host.PointerUp(PointerEvent{PointF{100, ListHeader::kHeight + 6 * 32}, PointerButton::Left});
    EXPECT_TRUE(f.Ranges().empty());
}

TEST(ListView, RubberBandSelectsTouchedRowsOnlyInExtendedMode) {
    Fixture f(4);
    const float below = ListHeader::kHeight + 8 * 32;
    f.host.PointerDown(PointerEvent{PointF{300, below}, PointerButton::Left});
    f.host.PointerMove(PointerEvent{PointF{300, ListHeader::kHeight + 2 * 32 + 5}});
    EXPECT_EQ(f.Ranges(), (Ranges{{2, 4}}));
    f.host.PointerUp(
        PointerEvent{PointF{300, ListHeader::kHeight + 2 * 32 + 5}, PointerButton::Left});

    f.list.SetSelectionMode(Models::SelectionMode::Single);
    f.Click(0);
    f.Key(KeyOf('A'), kModCtrl);
    EXPECT_EQ(f.Ranges(), (Ranges{{0, 1}}));
    f.host.PointerDown(PointerEvent{PointF{300, below}, PointerButton::Left, kModCtrl});
    f.host.PointerMove(PointerEvent{PointF{300, ListHeader::kHeight + 5}});
    f.host.PointerUp(PointerEvent{PointF{300, ListHeader::kHeight + 5}, PointerButton::Left});
    EXPECT_EQ(f.Ranges(), (Ranges{{0, 1}}));
}

TEST(ListView, TypeAheadThroughTheHost) {
    Fixture f(6);
    f.source.names = {u"apple", u"Bear", u"bolt", u"Berry", u"cat", u"Bob"};
    f.list.Reload();
    f.Char(U'b');
    EXPECT_EQ(f.list.Selection().Current(), 1);
    f.host.AdvanceTime(0.2);
    f.Char(U'b');
    EXPECT_EQ(f.list.Selection().Current(), 2);
    f.host.AdvanceTime(0.2);
    f.Char(U'b');
    EXPECT_EQ(f.list.Selection().Current(), 3);
    f.host.AdvanceTime(1.5);
    f.Char(U'b');
    f.Char(U'o');
    EXPECT_EQ(f.list.Selection().Current(), 5); // from "Berry" on, "Bob" comes first
    EXPECT_EQ(f.Ranges(), (Ranges{{5, 6}}));
    // A space during a search is text, not a selection key.
    EXPECT_FALSE(f.Key(kKeySpace));
}

TEST(ListView, ReloadWithFewerRowsReportsTheRemovedSelection) {
    Fixture f(10);
    std::vector<Models::SelectionChange> changes;
    f.list.SetOnSelectionChanged([&](const Models::SelectionChange& c) { changes.push_back(c); });
    f.Click(7);
    f.source.SetRows(5);
    f.list.Reload();
    EXPECT_TRUE(f.Ranges().empty());
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back().removed, (Ranges{{7, 8}}));
}

TEST(ListView, ActivationRenameAndContextMenu) {
    Fixture f(10);
    std::vector<std::int64_t> activated, renamed;
    std::vector<std::pair<std::int64_t, RectF>> menus;
    f.list.SetOnRowActivated([&](std::int64_t row) { activated.push_back(row); });
    f.list.SetOnRenameRequested([&](std::int64_t row) { renamed.push_back(row); });
    f.list.SetOnContextMenu([&](std::int64_t row, RectF at) { menus.push_back({row, at}); });

    f.Click(3);
    f.Key(kKeyEnter);
    EXPECT_EQ(activated, (std::vector<std::int64_t>{3}));
    // A second click on the only selected row renames after the double-click time.
    f.Click(3);
    EXPECT_TRUE(renamed.empty());
    f.host.AdvanceTime(DoubleClickSeconds() + 0.01);
    EXPECT_EQ(renamed, (std::vector<std::int64_t>{3}));
    // A double click activates instead.
    f.Click(3);
    f.Click(3, 0, 2);
    f.host.AdvanceTime(1);
    EXPECT_EQ(renamed.size(), 1u);
    EXPECT_EQ(activated.back(), 3);
    f.Key(KeyF(2));
    EXPECT_EQ(renamed.size(), 2u);
    f.Key(KeyF(10), kModShift);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].first, 3);
    EXPECT_FLOAT_EQ(menus[0].second.height, ListView::kContextAnchorHeight);
    EXPECT_FLOAT_EQ(menus[0].second.y, ListHeader::kHeight + 3 * 32);
}

TEST(ListView, HeaderResizeClampsSortTogglesAndColumnsMove) {
    Fixture f(10);
    int columnsChanged = 0;
    std::vector<SortState> sorts;
    f.list.SetOnColumnsChanged([&] { ++columnsChanged; });
    f.list.SetOnSortChanged([&](SortState s) { sorts.push_back(s); });
    // Drag the first column's right edge (x = 200) far to the left.
    f.host.PointerDown(PointerEvent{PointF{200, 10}, PointerButton::Left});
    f.host.PointerMove(PointerEvent{PointF{-500, 10}});
    f.host.PointerUp(PointerEvent{PointF{-500, 10}, PointerButton::Left});
    EXPECT_FLOAT_EQ(f.list.Columns()[0].width, 48);
    EXPECT_EQ(columnsChanged, 1);
    f.host.PointerDown(PointerEvent{PointF{48, 10}, PointerButton::Left});
    f.host.PointerMove(PointerEvent{PointF{5000, 10}});
    f.host.PointerUp(PointerEvent{PointF{5000, 10}, PointerButton::Left});
    EXPECT_FLOAT_EQ(f.list.Columns()[0].width, 2000);
    f.list.SetColumnWidth(0, 200);

    // Click the "Size" title twice: ascending, then descending.
    for (int i = 0; i < 2; ++i) {
        f.host.PointerDown(PointerEvent{PointF{260, 10}, PointerButton::Left});
        f.host.PointerUp(PointerEvent{PointF{260, 10}, PointerButton::Left});
    }
    ASSERT_EQ(sorts.size(), 2u);
    EXPECT_EQ(sorts[0], (SortState{1, false}));
    EXPECT_EQ(sorts[1], (SortState{1, true}));

    // Drag "Name" past the middle of "Size": the columns swap.
    f.host.PointerDown(PointerEvent{PointF{50, 10}, PointerButton::Left});
    f.host.PointerMove(PointerEvent{PointF{120, 10}});
    f.host.PointerMove(PointerEvent{PointF{300, 10}});
    f.host.PointerUp(PointerEvent{PointF{300, 10}, PointerButton::Left});
    EXPECT_EQ(f.list.Columns()[0].id, 1);
    EXPECT_EQ(f.list.Columns()[1].id, 0);
    EXPECT_EQ(sorts.size(), 2u); // a drag is no sort click
}

TEST(ListView, EscapeCancelsAColumnDragAndDoubleClickFitsTheEdge) {
    Fixture f(10);
    int columnsChanged = 0;
    f.list.SetOnColumnsChanged([&] { ++columnsChanged; });
    f.host.PointerDown(PointerEvent{PointF{50, 10}, PointerButton::Left});
    f.host.PointerMove(PointerEvent{PointF{300, 10}});
    EXPECT_TRUE(f.list.Header().IsDraggingColumn());
    EXPECT_TRUE(f.Key(kKeyEscape));
    EXPECT_FALSE(f.list.Header().IsDraggingColumn());
    f.host.PointerUp(PointerEvent{PointF{300, 10}, PointerButton::Left});
    EXPECT_EQ(f.list.Columns()[0].id, 0);
    EXPECT_FALSE(f.Key(kKeyEscape)); // nothing to cancel: left to the window

    // "Row 9 size" is the widest text of the second column.
    const float edge = 200 + 120;
    f.host.PointerDown(PointerEvent{PointF{edge, 10}, PointerButton::Left, 0, 2});
    f.host.PointerUp(PointerEvent{PointF{edge, 10}, PointerButton::Left, 0, 2});
    TextFormat body;
    const float widest = TextLayout(u"Row 9 size", body, TextOptions{}).Size().width;
    EXPECT_NEAR(f.list.Columns()[1].width, std::ceil(widest) + 24, 1);
    EXPECT_EQ(columnsChanged, 1);
}

TEST(ListView, SelectedRowPixelsAndTheFocusRing) {
    Fixture f(10);
    const Theme theme = LightTheme(kDefaultAccent);
    f.Key(kKeyDown);           // row 0, focused from the keyboard
    f.Key(kKeyDown, kModCtrl); // row 1 current, not selected
    auto canvas = f.host.Render(kSize);
    const auto over = [](float below, float top, float alpha) {
        return below * 255 * (1 - alpha) + top * 255 * alpha;
    };
    // Inside row 0's box, past the texts: the accent at 0.15 over the window.
    const Rgba8 fill = canvas->PixelAt(390, static_cast<int>(ListHeader::kHeight + 16));
    EXPECT_NEAR(fill.r, over(theme.windowBackground.r, theme.accent.r, 0.15f), 2);
    EXPECT_NEAR(fill.b, over(theme.windowBackground.b, theme.accent.b, 0.15f), 2);
    // The selection mark at the box's left edge is the accent itself.
    const Rgba8 mark = canvas->PixelAt(5, static_cast<int>(ListHeader::kHeight + 16));
    EXPECT_NEAR(mark.b, theme.accent.b * 255, 2);
    // Row 1 is current: its box edge carries the outer focus ring.
    const Rgba8 ring = canvas->PixelAt(200, static_cast<int>(ListHeader::kHeight + 32 + 2));
    EXPECT_LT(ring.r, 60);
    // Without keyboard focus, no ring.
    f.host.SetFocus(nullptr, false);
    f.host.RenderFrame(*canvas, kSize);
    EXPECT_GT(canvas->PixelAt(200, static_cast<int>(ListHeader::kHeight + 32 + 2)).r, 200);
}

// Rows with an icon: documents on even rows, none on odd ones.
class IconSource final : public IListDataSource {
public:
    std::int64_t RowCount() const override { return 1000; }
    std::u16string_view CellText(std::int64_t, std::int32_t) const override { return {}; }
    RowExtra GetRowExtra(std::int64_t row) const override {
        ++extraQueries;
        return RowExtra{row % 2 == 0 ? char32_t{0xE8A5} : char32_t{0}, 0};
    }
    mutable int extraQueries{0};
};

TEST(ListView, RowIconsDrawBeforeTheFirstText) {
    ListView list;
    IconSource source;
    HeadlessHost host(list, LightTheme(kDefaultAccent));
    list.SetRowHeight(32);
    list.AddColumn(Column{0, u"Name", 200});
    list.SetSource(&source);
    auto canvas = host.Render(kSize);
    EXPECT_EQ(source.extraQueries, 10); // the rows shown, once each
    // The darkest pixel of each row's icon box: ink on row 0, none on row 1.
    const auto darkest = [&](int row) {
        int low = 255;
        const int top = static_cast<int>(ListHeader::kHeight) + row * 32 + 8;
        for (int y = top; y < top + 16; ++y)
            for (int x = 12; x < 28; ++x)
                low = std::min<int>(low, canvas->PixelAt(x, y).r);
        return low;
    };
    EXPECT_LT(darkest(0), 100);
    EXPECT_GT(darkest(1), 200);
}

TEST(ListView, WheelScrollsSmoothlyToTheTarget) {
    Fixture f(1000);
    f.host.SetAnimationsEnabled(true);
    f.host.Wheel(WheelEvent{PointF{100, 100}, 0, -2});
    const double target = 2 * 3 * 32; // two notches of three rows
    EXPECT_DOUBLE_EQ(f.list.ScrollTarget(), target);
    auto canvas = f.host.Render(kSize);
    int frames = 0;
    double previous = f.list.ScrollOffset();
    while (f.list.IsScrollAnimating() && frames < 200) {
        f.host.AdvanceTime(1.0 / 60);
        f.host.RenderFrame(*canvas, kSize);
        EXPECT_GE(f.list.ScrollOffset(), previous);
        previous = f.list.ScrollOffset();
        ++frames;
    }
    EXPECT_DOUBLE_EQ(f.list.ScrollOffset(), target);
    EXPECT_GT(frames, 3);
    // Sideways: a horizontal wheel, or Shift with the vertical one.
    f.list.SetColumnWidth(0, 600);
    f.host.Wheel(WheelEvent{PointF{100, 100}, 1, 0});
    EXPECT_DOUBLE_EQ(f.list.HorizontalOffset(), ListView::kHorizontalStep);
    f.host.Wheel(WheelEvent{PointF{100, 100}, 0, -1, false, kModShift});
    EXPECT_DOUBLE_EQ(f.list.HorizontalOffset(), 2 * ListView::kHorizontalStep);
    EXPECT_DOUBLE_EQ(f.list.ScrollTarget(), target);
    // A precise (touchpad) event moves at once.
    f.host.Wheel(WheelEvent{PointF{100, 100}, 0, 0.5f, true});
    EXPECT_DOUBLE_EQ(f.list.ScrollOffset(), target - 0.5 * 3 * 32);
}

TEST(ScrollMotion, ApproachLandsAndInertiaStopsAtTheEnd) {
    ScrollMotion motion;
    motion.Approach(0, 100);
    EXPECT_TRUE(motion.Step(70));
    EXPECT_NEAR(motion.Position(), 100 - 100 / 2.718281828, 1e-6);
    while (motion.Step(16)) {
    }
    EXPECT_DOUBLE_EQ(motion.Position(), 100);
    motion.Fling(900, 2, 1000);
    while (motion.Step(16)) {
    }
    EXPECT_DOUBLE_EQ(motion.Position(), 1000);
    motion.Fling(100, 0.5, 1000);
    while (motion.Step(16)) {
    }
    EXPECT_NEAR(motion.Position(), 100 + 0.5 * 325, 10); // coasts about v x 325
}

} // namespace
} // namespace Velto::Widget::List
