#include <gtest/gtest.h>

#include "common/Error.h"
#include "structure/TocFile.h"

namespace vellumark::structure {
namespace {

TEST(TocFile, ReadsEntriesByLabelOrScanPage) {
    const auto entries = ParseTocFile(
        "# made by vellumark outline\n\n1 Preface v\r\n1\tPart One: The Coast\t1\n"
        "2 2.1  Old Records 12\n1 Plates @40\n",
        "toc.txt");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[1].title, "Part One: The Coast");
    EXPECT_EQ(entries[1].label, "1");
    EXPECT_EQ(entries[2].title, "2.1 Old Records");
    EXPECT_EQ(entries[2].level, 2);
    EXPECT_EQ(entries[3].scanPage, 40);
    EXPECT_EQ(entries[3].lineNumber, 6);

    const std::vector<std::string> labels = {"", "v", "1", "2", "12"};
    const auto headings = ResolveTocFile(entries, labels, 40, "toc.txt");
    ASSERT_EQ(headings.size(), 4u);
    EXPECT_EQ(headings[0].page, 1);
    EXPECT_EQ(headings[1].page, 2);
    EXPECT_EQ(headings[2].page, 4);
    EXPECT_EQ(headings[3].page, 39);
    // What outline prints reads back the same.
    EXPECT_EQ(TocFileLine(headings[2], labels), "2 2.1 Old Records 12");
    EXPECT_EQ(TocFileLine(headings[3], labels), "1 Plates @40");
}

// A heading's line must read back onto its page, whatever its title and its page's label.
TEST(TocFile, EveryLineOutlinePrintsReadsBackOntoItsPage) {
    // A label an earlier page has too (numbering that starts again), one that is no label when
    // read, and text stored in a scan that is not UTF-8 or breaks the line.
    const std::vector<std::string> labels = {"1", "2", "1", "@3", "iv x", "\xff", "7"};
    const std::vector<Heading> headings = {{2, 1, "Part Two"},
                                           {3, 2, "Odd"},
                                           {4, 1, "Spaced"},
                                           {5, 1, "Latin-1"},
                                           {6, 3, "Line\nbreak\tand\xe9"},
                                           {0, 1, " \r "}};
    std::string text;
    for (const Heading& heading : headings)
        text += TocFileLine(heading, labels) + "\n";
    EXPECT_EQ(text,
              "1 Part Two @3\n2 Odd @4\n1 Spaced @5\n1 Latin-1 @6\n"
              "3 Line break and\xef\xbf\xbd 7\n1 Untitled 1\n");
    const auto back = ResolveTocFile(ParseTocFile(text, "toc.txt"), labels, 7, "toc.txt");
    ASSERT_EQ(back.size(), headings.size());
    for (std::size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].page, headings[i].page) << i;
        EXPECT_EQ(back[i].level, headings[i].level) << i;
    }
}

std::string ErrorOf(const std::string& text, const std::vector<std::string>& labels = {}) {
    try {
        ResolveTocFile(ParseTocFile(text, "toc.txt"), labels, 3, "toc.txt");
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::Usage);
        return e.what();
    }
    return "";
}

TEST(TocFile, BadLinesAreNamedByFileAndLine) {
    EXPECT_EQ(ErrorOf("1 Fine 1\nPreface v\n", {"1"}),
              "toc.txt:2: expected LEVEL TITLE PAGE (as \"1 The Storm 27\" or \"1 Preface @3\")");
    EXPECT_EQ(ErrorOf("one Preface v\n"),
              "toc.txt:1: the level is a number from 1 to 9, not \"one\"");
    EXPECT_EQ(ErrorOf("0 Preface v\n"), "toc.txt:1: the level is a number from 1 to 9, not \"0\"");
    EXPECT_EQ(ErrorOf("1 Preface @x\n"), "toc.txt:1: \"@x\" is not a scan page (@1, @2, ...)");
    EXPECT_EQ(ErrorOf("1 Preface @4\n"), "toc.txt:1: @4 is past the scan's last page (3)");
    EXPECT_EQ(ErrorOf("\n1 Preface xii\n", {"i", "ii"}),
              "toc.txt:2: no page is labelled \"xii\" (write @N for the scan's page N)");
    EXPECT_EQ(ErrorOf("1 Bad \xff title 3\n"), "toc.txt:1: the line is not UTF-8 text");
    EXPECT_EQ(ErrorOf(""), "");
}

}  // namespace
}  // namespace vellumark::structure
