#include <gtest/gtest.h>

#include "structure/PageLabels.h"
#include "structure/PageNumbers.h"
#include "structure/TitleMatch.h"

namespace vellumark::structure {
namespace {

TEST(PageNumbers, ReadsFoliosAsOcrGivesThem) {
    const auto read = [](const char* token) {
        const auto n = ReadPageNumber(token);
        return n ? LabelOf(*n) : std::string("-");
    };
    EXPECT_EQ(read("17"), "17");
    EXPECT_EQ(read("l7"), "17");
    EXPECT_EQ(read("I7"), "17");
    EXPECT_EQ(read("3O"), "30");
    EXPECT_EQ(read("-12-"), "12");
    EXPECT_EQ(read("[iv]"), "iv");
    EXPECT_EQ(read("XII"), "xii");
    EXPECT_EQ(read("ili"), "iii");
    EXPECT_EQ(read("v1"), "vi");
    EXPECT_EQ(read("xlix"), "xlix");
    // Words of roman letters, non-canonical numerals, letters alone and zero are not folios.
    EXPECT_EQ(read("mix"), "-");
    EXPECT_EQ(read("dim"), "-");
    EXPECT_EQ(read("iiii"), "-");
    EXPECT_EQ(read("lo"), "-");
    EXPECT_EQ(read("0"), "-");
    EXPECT_EQ(read("1?"), "-");
    EXPECT_EQ(read("3.2"), "-");
    EXPECT_EQ(read("123456"), "-");
    EXPECT_EQ(RomanLabel(1994), "mcmxciv");
}

std::vector<PageFolios> Folios(const std::vector<const char*>& printed) {
    std::vector<PageFolios> pages;
    for (const char* token : printed) {
        PageFolios page;
        if (token == nullptr) {
            page.blank = true;
        } else if (const auto n = ReadPageNumber(token)) {
            page.candidates.push_back(*n);
        }
        pages.push_back(page);
    }
    return pages;
}

TEST(PageLabels, FitsSequencesAndFillsTheirGaps) {
    // Cover, blank, roman front matter with an unnumbered page, then the body with an unnumbered
    // opener before its first folio, a misread folio and a lost one, then a blank leaf.
    const auto labels = FitPageLabels(
        Folios({"", nullptr, "iii", "", "v", "vi", "", "", "3", "4", "9", "6", "", "8", nullptr}));
    const std::vector<std::string> expected = {"",  "",  "iii", "iv", "v", "vi", "1", "2",
                                               "3", "4", "5",   "6",  "7", "8",  ""};
    EXPECT_EQ(labels, expected);
}

TEST(PageLabels, NoSequenceGivesNoLabels) {
    // Numbers here and there (a date, a list) agree on no sequence.
    const auto labels = FitPageLabels(Folios({"", "1998", "", "4", "", "", "2", ""}));
    EXPECT_EQ(labels, std::vector<std::string>(8));
}

TEST(TitleMatch, IgnoresCaseSpacingAndPunctuation) {
    EXPECT_DOUBLE_EQ(TitleSimilarity("The  Lamp-Room.", "the lamp room"), 1.0);
    EXPECT_GT(TitleSimilarity("The Lighthouse Keeper", "The Lighthouse Kceper"), 0.9);
    EXPECT_LT(TitleSimilarity("Arrival", "Landfall"), 0.6);
}

}  // namespace
}  // namespace vellumark::structure
