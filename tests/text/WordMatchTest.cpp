#include <gtest/gtest.h>

#include "imaging/text/WordMatch.h"

namespace vellumark::imaging {
namespace {

TEST(FoldWordTest, IgnoresCaseAndEdgePunctuationButKeepsInnerMarks) {
    EXPECT_EQ(FoldWord("Quasar,"), "quasar");
    EXPECT_EQ(FoldWord("(ZEPPELIN)."), "zeppelin");
    EXPECT_EQ(FoldWord("\"aardvark!\""), "aardvark");
    EXPECT_EQ(FoldWord("\u201CHello\u2026\u201D"), "hello");  // curly quotes, ellipsis
    EXPECT_EQ(FoldWord("don't"), "don't");
    EXPECT_EQ(FoldWord("well-known;"), "well-known");
    EXPECT_EQ(FoldWord("--"), "");
    EXPECT_EQ(FoldWord(""), "");
}

TEST(FoldWordTest, LowersNonAsciiLettersAndKeepsMalformedBytes) {
    EXPECT_EQ(FoldWord("\u00C9COLE"), "\u00E9cole");                    // ÉCOLE
    EXPECT_EQ(FoldWord("\u0141\u00D3D\u0179"), "\u0142\u00F3d\u017A");  // ŁÓDŹ
    EXPECT_EQ(FoldWord("\u0391\u0398\u0397\u039D\u0391"), "\u03B1\u03B8\u03B7\u03BD\u03B1");
    EXPECT_EQ(FoldWord("\u041C\u041E\u0421\u041A\u0412\u0410"),
              "\u043C\u043E\u0441\u043A\u0432\u0430");
    EXPECT_EQ(FoldWord("A\xFF\xC3"), std::string("a\xFF\xC3"));
}

TEST(SearchTermsTest, SplitsAtBlanksAndDropsPunctuationOnlyPieces) {
    EXPECT_EQ(SearchTerms("New York"), (std::vector<std::string>{"new", "york"}));
    EXPECT_EQ(SearchTerms("  new\tYORK! "), (std::vector<std::string>{"new", "york"}));
    EXPECT_EQ(SearchTerms("brass - telescope"), (std::vector<std::string>{"brass", "telescope"}));
    EXPECT_TRUE(SearchTerms("").empty());
    EXPECT_TRUE(SearchTerms("   ").empty());
    EXPECT_TRUE(SearchTerms("?!").empty());
}

TEST(FindTermsTest, FindsConsecutiveRunsFromTheStartIndexOn) {
    const std::vector<std::string> page{"the", "brass", "telescope", "and", "brass", "telescope"};
    const std::vector<std::string> both{"brass", "telescope"};
    EXPECT_EQ(FindTerms(page, both, 0), 1);
    EXPECT_EQ(FindTerms(page, both, 1), 1);  // the word at the start is included
    EXPECT_EQ(FindTerms(page, both, 2), 4);
    EXPECT_EQ(FindTerms(page, both, 5), -1);  // a run must fit on the page
    EXPECT_EQ(FindTerms(page, both, -3), 1);
    EXPECT_EQ(FindTerms(page, {"telescope", "brass"}, 0), -1);
    EXPECT_EQ(FindTerms(page, {}, 0), -1);
    EXPECT_EQ(FindTerms({}, {"the"}, 0), -1);
}

}  // namespace
}  // namespace vellumark::imaging
