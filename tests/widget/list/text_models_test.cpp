// Type-ahead search, case folding and the two text-boundary services.
#include "widget/list/case_fold.h"
#include "widget/list/icu_text_boundary.h"
#include "widget/list/simple_text_boundary.h"
#include "widget/list/type_ahead.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Velto::Widget::Models {
namespace {

const std::vector<std::u16string> kRows = {u"alpha", u"Beta",  u"bolt", u"banana",   u"Çedilla",
                                           u"ÉCOLE", u"Ωmega", u"Жук",  u"ｆｕｌｌ", u"bob"};

std::int64_t Type(TypeAhead& search, std::u16string_view typed, double& now,
                  std::int64_t& current) {
    for (char16_t c : typed) {
        search.Type(c, now);
        const std::int64_t found =
            search.Find(static_cast<std::int64_t>(kRows.size()), current, [](std::int64_t row) {
                return std::u16string_view(kRows[static_cast<size_t>(row)]);
            });
        if (found >= 0)
            current = found;
        now += 100;
    }
    return current;
}

TEST(TypeAhead, RepeatedLetterStepsPrefixNarrowsPauseRestarts) {
    TypeAhead search;
    double now = 0;
    std::int64_t current = 0;
    EXPECT_EQ(Type(search, u"b", now, current), 1);
    EXPECT_EQ(Type(search, u"b", now, current), 2);
    EXPECT_EQ(Type(search, u"b", now, current), 3);
    EXPECT_EQ(Type(search, u"b", now, current), 9);
    EXPECT_EQ(Type(search, u"b", now, current), 1); // wraps around

    now += 1500; // a pause starts a new buffer
    current = 0;
    EXPECT_EQ(Type(search, u"bo", now, current), 2);
    EXPECT_EQ(search.Buffer(), u"bo");
    EXPECT_EQ(Type(search, u"b", now, current), 9); // "bob" continues the buffer
    now += 1500;
    EXPECT_EQ(Type(search, u"z", now, current), 9); // no match keeps the row
}

TEST(TypeAhead, FoldsLatinGreekCyrillicAndFullWidth) {
    struct Case {
        std::u16string_view typed;
        std::int64_t row;
    };
    for (const Case& c : {Case{u"ç", 4}, Case{u"éc", 5}, Case{u"ω", 6}, Case{u"жу", 7},
                          Case{u"ＦＵ", 8}, Case{u"BA", 3}}) {
        TypeAhead search;
        double now = 0;
        std::int64_t current = -1;
        EXPECT_EQ(Type(search, c.typed, now, current), c.row)
            << std::string(c.typed.begin(), c.typed.end());
    }
    EXPECT_EQ(SimpleCaseFold(0x0178), 0x00FF);
    EXPECT_EQ(SimpleCaseFold(0x0141), 0x0142); // Ł
    EXPECT_EQ(SimpleCaseFold(0x00D7), 0x00D7); // the multiplication sign
    EXPECT_EQ(SimpleCaseFold(0xAC00), 0xAC00); // Hangul has no case
    EXPECT_FALSE(TypeAhead::Accepts(31));
    EXPECT_FALSE(TypeAhead::Accepts(127));
    EXPECT_TRUE(TypeAhead::Accepts(0xA0));
}

class Boundaries : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam())
            m_boundary = IcuTextBoundary::Create();
        else
            m_boundary = std::make_unique<SimpleTextBoundary>();
    }
    std::vector<std::size_t> WalkCharacters(std::u16string_view text) const {
        std::vector<std::size_t> stops;
        for (std::size_t p = 0; p < text.size();) {
            p = m_boundary->NextCharacter(text, p);
            stops.push_back(p);
        }
        // Walking back visits the same stops.
        std::vector<std::size_t> back;
        for (std::size_t p = text.size(); p > 0;) {
            back.insert(back.begin(), p);
            p = m_boundary->PreviousCharacter(text, p);
        }
        EXPECT_EQ(stops, back);
        return stops;
    }
    std::unique_ptr<ITextBoundary> m_boundary;
};

TEST_P(Boundaries, GraphemeClusters) {
    // A thumbs-up with a skin tone, a family joined by zero-width joiners,
    // a flag, e with a combining acute, and decomposed Hangul "한" (L V T).
    const std::u16string thumbs = u"\U0001F44D\U0001F3FD";
    const std::u16string family = u"\U0001F468\u200D\U0001F469\u200D\U0001F467";
    const std::u16string flag = u"\U0001F1F0\U0001F1F7";
    const std::u16string text = u"a" + thumbs + family + flag + u"e\u0301" + u"\u1112\u1161\u11AB";
    std::vector<std::size_t> expected;
    std::size_t at = 1;
    expected.push_back(at);
    for (std::size_t length :
         {thumbs.size(), family.size(), flag.size(), std::size_t{2}, std::size_t{3}}) {
        at += length;
        expected.push_back(at);
    }
    EXPECT_EQ(WalkCharacters(text), expected);
    EXPECT_EQ(m_boundary->NextCharacter(text, text.size()), text.size());
    EXPECT_EQ(m_boundary->PreviousCharacter(text, 0), 0u);
}

TEST_P(Boundaries, WordsOverLatinAndKorean) {
    const std::u16string text = u"hello world, 안녕하세요  친구";
    // Forward from the start: each stop is the start of the next word.
    std::vector<std::size_t> forward;
    for (std::size_t p = 0; p < text.size();) {
        p = m_boundary->NextWord(text, p);
        forward.push_back(p);
    }
    const std::vector<std::size_t> expected = {6, 11, 13, 20, 22};
    EXPECT_EQ(forward, expected);
    std::vector<std::size_t> backward;
    for (std::size_t p = text.size(); p > 0;) {
        p = m_boundary->PreviousWord(text, p);
        backward.insert(backward.begin(), p);
    }
    const std::vector<std::size_t> expectedBack = {0, 6, 11, 13, 20};
    EXPECT_EQ(backward, expectedBack);
}

INSTANTIATE_TEST_SUITE_P(IcuAndSimple, Boundaries, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Icu" : "Simple"; });

TEST(SimpleTextBoundary, IdeographsAreWordsByThemselves) {
    SimpleTextBoundary boundary;
    const std::u16string text = u"中文字かなabc";
    EXPECT_EQ(boundary.NextWord(text, 0), 1u);
    EXPECT_EQ(boundary.NextWord(text, 2), 3u);
    EXPECT_EQ(boundary.NextWord(text, 3), 5u); // a run of kana
    EXPECT_EQ(boundary.PreviousWord(text, 8), 5u);
    EXPECT_EQ(boundary.PreviousWord(text, 3), 2u);
}

} // namespace
} // namespace Velto::Widget::Models
