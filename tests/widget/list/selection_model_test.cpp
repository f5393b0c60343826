// The selection model's operations and the changes it reports.
#include "widget/list/selection_model.h"

#include <gtest/gtest.h>

namespace Velto::Widget::Models {
namespace {

using Ranges = std::vector<RowRange>;

struct Recorder {
    std::vector<SelectionChange> changes;
    explicit Recorder(SelectionModel& model) {
        model.AddListener([this](const SelectionChange& c) { changes.push_back(c); });
    }
};

TEST(SelectionModel, ClickCtrlClickShiftClick) {
    SelectionModel model;
    model.SetRowCount(20);
    Recorder recorder(model);

    model.SelectOnly(3);
    EXPECT_EQ(model.Ranges(), (Ranges{{3, 4}}));
    EXPECT_EQ(model.Anchor(), 3);
    EXPECT_EQ(model.Current(), 3);

    model.Toggle(7); // Ctrl-click adds and moves the anchor
    EXPECT_EQ(model.Ranges(), (Ranges{{3, 4}, {7, 8}}));
    EXPECT_EQ(model.Anchor(), 7);

    model.SelectRange(10, false); // Shift-click replaces with anchor..row
    EXPECT_EQ(model.Ranges(), (Ranges{{7, 11}}));
    EXPECT_EQ(model.Anchor(), 7);
    EXPECT_EQ(model.Current(), 10);

    model.SelectRange(5, false); // the range follows the anchor both ways
    EXPECT_EQ(model.Ranges(), (Ranges{{5, 8}}));

    model.SelectOnly(15);
    model.SelectRange(17, true); // Ctrl+Shift adds the range to the selection
    EXPECT_EQ(model.Ranges(), (Ranges{{15, 18}}));
    model.Toggle(1);
    model.SelectRange(3, true);
    EXPECT_EQ(model.Ranges(), (Ranges{{1, 4}, {15, 18}}));

    model.Toggle(2); // Ctrl-click on a selected row removes it
    EXPECT_EQ(model.Ranges(), (Ranges{{1, 2}, {3, 4}, {15, 18}}));
    EXPECT_EQ(model.SelectedCount(), 5);

    const SelectionChange& last = recorder.changes.back();
    EXPECT_TRUE(last.added.empty());
    EXPECT_EQ(last.removed, (Ranges{{2, 3}}));
    EXPECT_EQ(last.previousAnchor, 1);
    EXPECT_EQ(last.anchor, 2);
    for (std::size_t i = 1; i < recorder.changes.size(); ++i)
        EXPECT_EQ(recorder.changes[i].counter, recorder.changes[i - 1].counter + 1);
}

TEST(SelectionModel, ReportsOnlyRealChangesAsDifferences) {
    SelectionModel model;
    model.SetRowCount(10);
    Recorder recorder(model);
    model.SelectOnly(2);
    model.SelectOnly(2); // nothing changes: nothing is reported
    EXPECT_EQ(recorder.changes.size(), 1u);
    model.SelectRange(5, false);
    ASSERT_EQ(recorder.changes.size(), 2u);
    EXPECT_EQ(recorder.changes[1].added, (Ranges{{3, 6}}));
    EXPECT_TRUE(recorder.changes[1].removed.empty());
    model.SetCurrent(8); // Ctrl+arrow moves the current row only
    EXPECT_EQ(model.Ranges(), (Ranges{{2, 6}}));
    EXPECT_EQ(model.Current(), 8);
    EXPECT_EQ(recorder.changes.back().previousCurrent, 5);
}

TEST(SelectionModel, ShrinkingRowCountRemovesAndReports) {
    SelectionModel model;
    model.SetRowCount(10);
    model.SelectOnly(8);
    model.SelectRange(4, false);
    Recorder recorder(model);
    model.SetRowCount(6);
    EXPECT_EQ(model.Ranges(), (Ranges{{4, 6}}));
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_EQ(recorder.changes[0].removed, (Ranges{{6, 9}}));
    EXPECT_EQ(model.Anchor(), -1); // the anchor row 8 is gone
    EXPECT_EQ(model.Current(), 4);
    model.SetRowCount(0);
    EXPECT_TRUE(model.Ranges().empty());
    EXPECT_EQ(model.Current(), -1);
}

TEST(SelectionModel, ModesLimitWhatCanBeSelected) {
    SelectionModel model;
    model.SetRowCount(10);
    model.SetMode(SelectionMode::Single);
    model.SelectOnly(1);
    model.Toggle(4);
    EXPECT_EQ(model.Ranges(), (Ranges{{4, 5}}));
    model.SelectRange(8, true);
    EXPECT_EQ(model.Ranges(), (Ranges{{8, 9}}));
    model.SelectAll();
    EXPECT_EQ(model.Ranges(), (Ranges{{8, 9}}));
    model.SelectBand(RowRange{0, 5}, nullptr);
    EXPECT_EQ(model.Ranges(), (Ranges{{8, 9}}));

    model.SetMode(SelectionMode::Extended);
    model.SelectAll();
    EXPECT_EQ(model.Ranges(), (Ranges{{0, 10}}));
    model.SetMode(SelectionMode::Single); // narrows to one row
    EXPECT_EQ(model.SelectedCount(), 1);
    model.SetMode(SelectionMode::None);
    model.SelectOnly(3);
    EXPECT_EQ(model.SelectedCount(), 0);
    EXPECT_EQ(model.Current(), 3);
}

TEST(SelectionModel, OutOfRangeRowsAreIgnored) {
    SelectionModel model;
    model.SetRowCount(3);
    for (std::int64_t row : {-1, 3, 100}) {
        model.SelectOnly(row);
        model.Toggle(row);
        model.SelectRange(row, false);
        model.SetCurrent(row);
    }
    EXPECT_TRUE(model.Ranges().empty());
    EXPECT_EQ(model.Current(), -1);
}

TEST(SelectionModel, RangeArithmetic) {
    EXPECT_EQ(NormaliseRanges({{5, 7}, {1, 3}, {3, 4}, {6, 9}, {2, 2}}), (Ranges{{1, 4}, {5, 9}}));
    EXPECT_EQ(SubtractRanges({{0, 10}}, {{2, 3}, {5, 7}}), (Ranges{{0, 2}, {3, 5}, {7, 10}}));
    EXPECT_EQ(SubtractRanges({{0, 3}, {5, 8}}, {{2, 6}}), (Ranges{{0, 2}, {6, 8}}));
    EXPECT_TRUE(SubtractRanges({{1, 4}}, {{0, 9}}).empty());
}

} // namespace
} // namespace Velto::Widget::Models
