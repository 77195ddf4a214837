#include <gtest/gtest.h>

#include "imaging/text/DocSearch.h"
#include "search/CursorRules.h"

namespace vellumark::search {
namespace {

struct Step {
    int hitPage;
    int lastWord;
    SearchCursors after;
};

// L of a hit, as the cursor rules take it: the last of its word list, 0 for an empty list.
TEST(CursorRulesTest, AHitsLastWordIsTheLastOfItsListOrZero) {
    EXPECT_EQ((imaging::Hit{0, {4, 5, 6}, "a b c"}.LastWord()), 6);
    EXPECT_EQ((imaging::Hit{0, {9}, "a"}.LastWord()), 9);
    EXPECT_EQ(imaging::Hit{}.LastWord(), 0);
}

TEST(CursorRulesTest, ThreePageExampleMovesToEachHitsPage) {
    // Hits ending at page 0 word 5, page 0 word 20, page 1 word 3 and page 2 word 30.
    const Step steps[] = {{0, 5, {0, 6}}, {0, 20, {0, 21}}, {1, 3, {1, 4}}, {2, 30, {2, 31}}};
    for (const Step& step : steps) {
        const SearchCursors next = CursorsAfterHit(step.hitPage, step.lastWord);
        EXPECT_EQ(next.page, step.after.page);
        EXPECT_EQ(next.word, step.after.word);
    }
    // A hit with an empty word list counts as L = 0.
    const SearchCursors empty = CursorsAfterHit(3, imaging::Hit{3, {}, ""}.LastWord());
    EXPECT_EQ(empty.page, 3);
    EXPECT_EQ(empty.word, 1);
}

// Pages of `count` filler words with "needle" at the given indices.
std::vector<imaging::Word> Page(int count, std::vector<int> needles) {
    std::vector<imaging::Word> words(count, imaging::Word{"hay"});
    for (int i : needles)
        words[i].text = "Needle.";
    return words;
}

TEST(CursorRulesTest, StepsWithTheSearchFindEachHitOnceThenNothing) {
    const std::vector<std::vector<imaging::Word>> pages{Page(25, {5, 20}), Page(10, {3}),
                                                        Page(40, {30})};
    const imaging::PageWords wordsOf = [&](int page) { return pages.at(page); };
    SearchCursors cursors;  // as the dialog is opened: page 0, word 0
    const std::vector<SearchCursors> expected{{0, 6}, {0, 21}, {1, 4}, {2, 31}};
    for (const SearchCursors& want : expected) {
        const auto hit = imaging::FindForward(3, wordsOf, "needle", cursors.page, cursors.word);
        ASSERT_TRUE(hit);
        cursors = CursorsAfterHit(hit->page, hit->LastWord());
        EXPECT_EQ(cursors.page, want.page);
        EXPECT_EQ(cursors.word, want.word);
    }
    // No hit: the cursors stay where they are, press after press.
    for (int press = 0; press < 2; ++press) {
        EXPECT_FALSE(imaging::FindForward(3, wordsOf, "needle", cursors.page, cursors.word));
    }
}

TEST(CursorRulesTest, OnePageDocumentKeepsThePageCursorAtZero) {
    const std::vector<std::vector<imaging::Word>> pages{Page(8, {0, 1, 7})};
    const imaging::PageWords wordsOf = [&](int page) { return pages.at(page); };
    SearchCursors cursors;
    std::vector<int> found;
    while (auto hit = imaging::FindForward(1, wordsOf, "needle", cursors.page, cursors.word)) {
        found.push_back(hit->words.front());
        cursors = CursorsAfterHit(hit->page, hit->LastWord());
        EXPECT_EQ(cursors.page, 0);
    }
    EXPECT_EQ(found, (std::vector<int>{0, 1, 7}));
    EXPECT_EQ(cursors.word, 8);
}

}  // namespace
}  // namespace vellumark::search
