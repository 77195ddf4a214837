// The analysis on whole books typeset in code, scored against the truth they were set from.

#include <gtest/gtest.h>

#include <algorithm>

#include "structure/BookStructure.h"
#include "structure/TitleMatch.h"
#include "tools/TypesetBook.h"

namespace vellumark::structure {
namespace {

BookStructure Analyse(const tools::TypesetBook& book) {
    BookAnalyser analyser;
    for (const auto& words : book.pages)
        analyser.AddPage(words, book.width, book.height);
    return analyser.Finish();
}

double LabelsRight(const tools::TypesetBook& book, const BookStructure& found) {
    int right = 0;
    for (std::size_t p = 0; p < book.labels.size(); ++p) {
        right += found.labels[p] == book.labels[p];
        EXPECT_EQ(found.labels[p], book.labels[p]) << "scan page " << p + 1;
    }
    return static_cast<double>(right) / static_cast<double>(book.labels.size());
}

// Every true entry found at its page with a title at least 90% alike.
void ExpectEntries(const std::vector<tools::TrueHeading>& truth, const std::vector<Heading>& found,
                   bool levels) {
    for (const tools::TrueHeading& want : truth) {
        const Heading* best = nullptr;
        for (const Heading& h : found) {
            if (h.page == want.page &&
                (best == nullptr ||
                 TitleSimilarity(h.title, want.title) > TitleSimilarity(best->title, want.title)))
                best = &h;
        }
        ASSERT_NE(best, nullptr) << want.title << " on scan page " << want.page + 1;
        EXPECT_GE(TitleSimilarity(best->title, want.title), 0.9)
            << best->title << " for " << want.title;
        if (levels) {
            EXPECT_EQ(best->level, want.level) << want.title;
        }
    }
}

void ExpectNoRunningHeadIsAHeading(const tools::TypesetBook& book, const BookStructure& found) {
    for (const auto& [page, text] : book.runningHeads) {
        bool marked = false;
        for (const RunningHead& head : found.runningHeads)
            marked = marked ||
                     (head.page == page && NormalisedTitle(head.text) == NormalisedTitle(text));
        EXPECT_TRUE(marked) << text << " on scan page " << page + 1;
        for (const Heading& h : found.headings) {
            EXPECT_FALSE(h.page == page && NormalisedTitle(h.title) == NormalisedTitle(text))
                << text << " taken for a heading on scan page " << page + 1;
        }
    }
}

TEST(BookStructure, ReadsThePrintedContentsThroughThePageLabels) {
    const tools::TypesetBook book = tools::TypesetNovel();
    const BookStructure found = Analyse(book);
    EXPECT_GE(LabelsRight(book, found), 0.95);
    EXPECT_EQ(found.source, TocSource::Contents);
    ASSERT_EQ(found.contentsPages, std::vector<int>{2});
    EXPECT_EQ(found.headings.size(), book.contents.size());
    ExpectEntries(book.contents, found.headings, true);
    ExpectNoRunningHeadIsAHeading(book, found);
}

TEST(BookStructure, AHeadingFillsAContentsLineOcrLost) {
    tools::TypesetBook book = tools::TypesetNovel();
    // The line of "Part One" gone from the contents page, its number with it.
    auto& contents = book.pages[2];
    const auto part = std::find_if(contents.begin(), contents.end(),
                                   [](const imaging::Word& w) { return w.text == "One:"; });
    ASSERT_NE(part, contents.end());
    const int line = part->line;
    std::erase_if(contents, [&](const imaging::Word& w) { return w.line == line; });
    const BookStructure found = Analyse(book);
    EXPECT_EQ(found.source, TocSource::Contents);
    ExpectEntries(book.contents, found.headings, false);
    const auto placed =
        std::find_if(found.headings.begin(), found.headings.end(),
                     [](const Heading& h) { return h.title.starts_with("PART ONE"); });
    ASSERT_NE(placed, found.headings.end());
    EXPECT_EQ(placed->level, 1);
    EXPECT_EQ(found.headings.size(), book.contents.size());
}

TEST(BookStructure, FindsHeadingsWithoutAContentsPage) {
    tools::TypesetOptions options;
    options.contentsPage = false;
    const tools::TypesetBook book = tools::TypesetNovel(options);
    const BookStructure found = Analyse(book);
    EXPECT_GE(LabelsRight(book, found), 0.95);
    EXPECT_EQ(found.source, TocSource::Headings);
    EXPECT_TRUE(found.contentsPages.empty());
    ExpectEntries(book.headings, found.headings, false);
    ExpectNoRunningHeadIsAHeading(book, found);
    // Parts over chapters over sections, whatever numbers the levels get.
    const auto levelOf = [&](const std::string& title) {
        for (const Heading& h : found.headings) {
            if (h.title == title)
                return h.level;
        }
        return 0;
    };
    EXPECT_LT(levelOf("PART ONE: The Coast"), levelOf("Chapter 1: Arrival"));
    EXPECT_LT(levelOf("Chapter 1: Arrival"), levelOf("2.1 Old Records"));
    // Nothing but the title page's lines is taken that the pages do not print as a heading.
    for (const Heading& h : found.headings) {
        bool known = h.page == 0;
        for (const tools::TrueHeading& t : book.headings)
            known = known || t.page == h.page;
        EXPECT_TRUE(known) << h.title << " on scan page " << h.page + 1;
    }
}

TEST(BookStructure, FolioReadsRightWithoutMisreads) {
    tools::TypesetOptions options;
    options.misreads = false;
    const tools::TypesetBook book = tools::TypesetNovel(options);
    EXPECT_DOUBLE_EQ(LabelsRight(book, Analyse(book)), 1.0);
}

TEST(BookStructure, PlainBookHasNeitherLabelsNorHeadings) {
    const tools::TypesetBook book = tools::PlainBook(20);
    const BookStructure found = Analyse(book);
    EXPECT_EQ(found.labels, std::vector<std::string>(20));
    EXPECT_TRUE(found.headings.empty());
    EXPECT_TRUE(found.runningHeads.empty());
    EXPECT_EQ(found.source, TocSource::None);
}

TEST(BookStructure, PagesWithoutWordsOrBoxes) {
    BookAnalyser analyser;
    analyser.AddPage({}, 0, 0);
    analyser.AddPage({{"stored", 0, 0, 0, 0, false, 0, 0}, {"text", 0, 0, 0, 0, false, 0, 1}}, 0,
                     0);
    const BookStructure found = analyser.Finish();
    EXPECT_EQ(found.pageCount, 2);
    EXPECT_EQ(found.labels, std::vector<std::string>(2));
    EXPECT_EQ(found.source, TocSource::None);
    EXPECT_EQ(BookAnalyser().Finish().pageCount, 0);
}

}  // namespace
}  // namespace vellumark::structure
