// The text box's edit model: typing, deleting, caret moves over words and
// grapheme clusters, undo and redo with merging, the maximum length and the
// input-method composition.
#include "widget/controls/edit_model.h"
#include "widget/list/icu_text_boundary.h"

#include <gtest/gtest.h>

namespace Velto::Widget::Controls {
namespace {

class EditModelTest : public ::testing::Test {
protected:
    std::unique_ptr<Models::ITextBoundary> boundary = Models::IcuTextBoundary::Create();
    EditModel model{*boundary};
    std::int64_t now = 0;

    void TypeEach(std::u16string_view text, std::int64_t gapMs = 50) {
        for (char16_t c : text) {
            model.Type(std::u16string(1, c), now);
            now += gapMs;
        }
    }
};

TEST_F(EditModelTest, TypingReplacesTheSelectionAndDeletesByCharacterAndWord) {
    TypeEach(u"hello world");
    EXPECT_EQ(model.Caret(), 11u);
    model.MoveLeft(true, true); // Ctrl+Shift+Left selects "world"
    EXPECT_EQ(model.SelectedText(), u"world");
    model.Type(u"there", now);
    EXPECT_EQ(model.Text(), u"hello there");
    model.DeleteBackward(true, now); // Ctrl+Backspace: the word
    EXPECT_EQ(model.Text(), u"hello ");
    model.MoveHome(false);
    model.DeleteForward(false, now);
    EXPECT_EQ(model.Text(), u"ello ");
    model.DeleteForward(true, now); // Ctrl+Delete: the word and its spaces
    EXPECT_EQ(model.Text(), u"");
    EXPECT_FALSE(model.DeleteBackward(false, now));
}

TEST_F(EditModelTest, CaretMovesOverKoreanWordsAndWholeGraphemes) {
    // An emoji with a skin-tone modifier and decomposed Hangul (L V T).
    const std::u16string emoji = u"\U0001F44B\U0001F3FD";
    const std::u16string jamo = u"\u1112\u1161\u11AB";
    model.SetText(u"안녕 " + emoji + jamo + u" 세상");
    model.MoveHome(false);
    model.MoveRight(true, false);
    EXPECT_EQ(model.Caret(), 3u); // after "안녕 "
    model.MoveRight(false, false);
    EXPECT_EQ(model.Caret(), 3u + emoji.size()); // the whole waving hand
    model.MoveRight(false, false);
    EXPECT_EQ(model.Caret(), 3u + emoji.size() + jamo.size()); // one Hangul syllable
    model.DeleteBackward(false, now);
    EXPECT_EQ(model.Text(), u"안녕 " + emoji + u" 세상");
    model.DeleteBackward(false, now);
    EXPECT_EQ(model.Text(), u"안녕  세상"); // never half an emoji
    model.MoveEnd(false);
    model.MoveLeft(true, false);
    EXPECT_EQ(model.Caret(), 4u); // the start of "세상"
    // Plain Left with a selection goes to its start.
    model.SelectAll();
    model.MoveLeft(false, false);
    EXPECT_EQ(model.Caret(), 0u);
    EXPECT_FALSE(model.HasSelection());
}

TEST_F(EditModelTest, UndoMergesRunsOfOneKindWithinASecond) {
    TypeEach(u"abc");
    now += 2000; // a pause starts a new step
    TypeEach(u"def");
    ASSERT_EQ(model.History().UndoRecords().size(), 2u);
    model.DeleteBackward(false, now);
    model.DeleteBackward(false, now + 10); // two backspaces: one step
    EXPECT_EQ(model.Text(), u"abcd");
    EXPECT_EQ(model.History().UndoRecords().size(), 3u);
    EXPECT_EQ(model.History().UndoRecords().back().removed, u"ef");

    EXPECT_TRUE(model.Undo());
    EXPECT_EQ(model.Text(), u"abcdef");
    EXPECT_EQ(model.Caret(), 6u);
    EXPECT_TRUE(model.Undo());
    EXPECT_EQ(model.Text(), u"abc");
    EXPECT_TRUE(model.Redo());
    EXPECT_EQ(model.Text(), u"abcdef");
    EXPECT_EQ(model.Caret(), 6u);
    model.Type(u"!", now + 20); // a new edit clears the redo stack
    EXPECT_FALSE(model.Redo());

    // Forward deletes at one position merge; a paste never does.
    model.MoveHome(false);
    model.DeleteForward(false, now + 30);
    model.DeleteForward(false, now + 40);
    EXPECT_EQ(model.History().UndoRecords().back().removed, u"ab");
    model.Paste(u"xy", now + 50);
    model.Paste(u"z", now + 60);
    model.Undo();
    EXPECT_EQ(model.Text(), u"xycdef!");
}

TEST_F(EditModelTest, HistoryKeepsTheNewestThousandSteps) {
    for (int i = 0; i < 1005; ++i) {
        model.Type(u"a", now);
        now += 2000;
    }
    EXPECT_EQ(model.History().UndoRecords().size(), UndoHistory::kMaxRecords);
    int undone = 0;
    while (model.Undo())
        ++undone;
    EXPECT_EQ(undone, 1000);
    EXPECT_EQ(model.Text(), u"aaaaa");
}

TEST_F(EditModelTest, MaximumLengthAndReadOnly) {
    model.SetMaxLength(64);
    model.SetText(std::u16string(63, u'x'));
    EXPECT_TRUE(model.Type(u"y", now));
    EXPECT_FALSE(model.Type(u"z", now)); // the 65th character is refused
    EXPECT_EQ(model.Text().size(), 64u);
    // Typing over a selection frees its room.
    model.MoveLeft(false, true);
    EXPECT_TRUE(model.Type(u"z", now));
    // A paste takes its first line, cut to the room left, never half a pair.
    model.SetMaxLength(5);
    model.SetText(u"abc");
    EXPECT_TRUE(model.Paste(u"d\U0001F600\nsecond line", now));
    EXPECT_EQ(model.Text(), u"abcd");
    model.SetReadOnly(true);
    EXPECT_FALSE(model.Type(u"e", now));
    EXPECT_FALSE(model.DeleteBackward(false, now));
    EXPECT_FALSE(model.Paste(u"e", now));
    EXPECT_FALSE(model.Undo());
    EXPECT_EQ(model.Text(), u"abcd");
}

TEST_F(EditModelTest, CompositionShowsAtTheCaretAndCommitsAsOneStep) {
    TypeEach(u"ab");
    model.MoveLeft(false, false);
    model.SetComposition(u"ㅎ", 1);
    EXPECT_EQ(model.DisplayText(), u"aㅎb");
    EXPECT_EQ(model.Text(), u"ab");
    model.SetComposition(u"한", 1);
    EXPECT_EQ(model.DisplayCaret(), 2u);
    EXPECT_TRUE(model.Commit(u"한", now));
    EXPECT_FALSE(model.IsComposing());
    EXPECT_EQ(model.Text(), u"a한b");
    EXPECT_EQ(model.History().UndoRecords().back().kind, EditKind::Other);
    model.Undo();
    EXPECT_EQ(model.Text(), u"ab");
}

} // namespace
} // namespace Velto::Widget::Controls
