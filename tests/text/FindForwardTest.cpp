#include <gtest/gtest.h>

#include <map>

#include "common/Error.h"
#include "imaging/text/DocSearch.h"

namespace vellumark::imaging {
namespace {

// Pages of words as plain strings, with a count of how often each page is read.
struct FakePages {
    std::vector<std::vector<std::string>> pages;
    mutable std::map<int, int> reads;

    PageWords Reader() const {
        return [this](int page) {
            ++reads[page];
            std::vector<Word> words;
            for (const auto& text : pages.at(page))
                words.push_back(Word{text});
            return words;
        };
    }
    int Count() const { return static_cast<int>(pages.size()); }
};

const FakePages kBook{{
                          {"The", "aardvark", "came", "out,", "and", "the", "Aardvark", "slept."},
                          {"A", "silver", "zeppelin", "flew", "over", "New", "York."},
                          {"new", "York", "saw", "the", "AARDVARK!"},
                      },
                      {}};

TEST(FindForwardTest, FindsFromTheCursorIncludedWithoutRegardToCaseOrPunctuation) {
    const auto hit = FindForward(kBook.Count(), kBook.Reader(), "AARDVARK", 0, 1);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->page, 0);
    EXPECT_EQ(hit->words, std::vector<int>{1});
    EXPECT_EQ(hit->text, "aardvark");

    const auto next = FindForward(kBook.Count(), kBook.Reader(), "aardvark", 0, 2);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->words, std::vector<int>{6});

    const auto later = FindForward(kBook.Count(), kBook.Reader(), "aardvark", 0, 7);
    ASSERT_TRUE(later);
    EXPECT_EQ(later->page, 2);
    EXPECT_EQ(later->words, std::vector<int>{4});
    EXPECT_EQ(later->text, "AARDVARK!");  // as read, punctuation and all
}

TEST(FindForwardTest, SeveralWordsMatchConsecutiveWordsOnOnePage) {
    const auto hit = FindForward(kBook.Count(), kBook.Reader(), "new york", 0, 0);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->page, 1);
    EXPECT_EQ(hit->words, (std::vector<int>{5, 6}));
    EXPECT_EQ(hit->text, "New York.");
    EXPECT_EQ(hit->LastWord(), 6);

    const auto next = FindForward(kBook.Count(), kBook.Reader(), "new york", 1, 6);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->page, 2);
    EXPECT_EQ(next->words, (std::vector<int>{0, 1}));

    // "York. new" would span a page break: no hit.
    EXPECT_FALSE(FindForward(kBook.Count(), kBook.Reader(), "york new", 0, 0));
}

TEST(FindForwardTest, StopsAtTheEndWithoutWrapping) {
    EXPECT_FALSE(FindForward(kBook.Count(), kBook.Reader(), "aardvark", 2, 5));
    EXPECT_FALSE(FindForward(kBook.Count(), kBook.Reader(), "zeppelin", 2, 0));
    EXPECT_FALSE(FindForward(kBook.Count(), kBook.Reader(), "aardvark", 3, 0));
    EXPECT_FALSE(FindForward(kBook.Count(), kBook.Reader(), "unicorn", 0, 0));
}

TEST(FindForwardTest, EmptyOrPunctuationWordHasNoHitAndReadsNothing) {
    const FakePages book{kBook.pages, {}};
    for (const char* word : {"", " ", "...", " - "}) {
        EXPECT_FALSE(FindForward(book.Count(), book.Reader(), word, 0, 0)) << word;
    }
    EXPECT_TRUE(book.reads.empty());
}

TEST(FindForwardTest, NegativeCursorsCountAsZero) {
    const auto hit = FindForward(kBook.Count(), kBook.Reader(), "the", -2, -5);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->page, 0);
    EXPECT_EQ(hit->words, std::vector<int>{0});
}

TEST(FindForwardTest, ReportsEachPageAndStopsWhenCancelled) {
    const FakePages book{kBook.pages, {}};
    std::vector<int> seen;
    std::atomic<bool> cancel = false;
    SearchControl control;
    control.cancel = &cancel;
    control.onPage = [&](int page) {
        seen.push_back(page);
        if (page == 1)
            cancel = true;
    };
    try {
        FindForward(book.Count(), book.Reader(), "unicorn", 0, 0, control);
        FAIL() << "expected a cancellation";
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::Cancelled);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1}));
    EXPECT_EQ(book.reads.count(2), 0u);
}

TEST(FindAllTest, ListsEveryHitOnceInDocumentOrder) {
    const auto hits = FindAll(kBook.Count(), kBook.Reader(), "the aardvark");
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits[0].page, 0);
    EXPECT_EQ(hits[0].words, (std::vector<int>{0, 1}));
    EXPECT_EQ(hits[1].page, 0);
    EXPECT_EQ(hits[1].words, (std::vector<int>{5, 6}));
    EXPECT_EQ(hits[2].page, 2);
    EXPECT_EQ(hits[2].words, (std::vector<int>{3, 4}));
    EXPECT_TRUE(FindAll(kBook.Count(), kBook.Reader(), "").empty());
}

}  // namespace
}  // namespace vellumark::imaging
