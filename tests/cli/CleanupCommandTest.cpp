// Clean-up from the command line, run as the built program on a book as a scanner delivers it:
// what `info` reports of each page, the book `convert` makes of it, and the refusals.

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "CommandLineChecks.h"
#include "RunProgram.h"
#include "TestTiff.h"
#include "cli/CleanupArguments.h"
#include "tools/ScannedSheet.h"

namespace vellumark::cli {
namespace {
namespace fs = std::filesystem;
using vellumark::testing::Lines;
using vellumark::testing::RunProgram;
using vellumark::testing::RunResult;
using vellumark::testing::TempFolder;
using vellumark::testing::Vellumark;

// Every number that follows `key` in the JSON text, in order ("null" as NaN).
std::vector<double> Values(const std::string& json, const std::string& key) {
    std::vector<double> values;
    const std::regex pattern("\"" + key + "\": (null|-?[0-9.]+)");
    for (std::sregex_iterator it(json.begin(), json.end(), pattern), end; it != end; ++it)
        values.push_back((*it)[1] == "null" ? NAN : std::stod((*it)[1]));
    return values;
}

TEST(ParseMarginTest, LengthsInEveryUnitAndNothingElse) {
    EXPECT_DOUBLE_EQ(*ParseMargin("25.4"), 1.0);
    EXPECT_DOUBLE_EQ(*ParseMargin("5mm"), 5 / 25.4);
    EXPECT_DOUBLE_EQ(*ParseMargin("1.27cm"), 0.5);
    EXPECT_DOUBLE_EQ(*ParseMargin("0.25in"), 0.25);
    EXPECT_DOUBLE_EQ(*ParseMargin("18pt"), 0.25);
    EXPECT_DOUBLE_EQ(*ParseMargin("0"), 0.0);
    for (const char* bad : {"", "mm", "5 mm", "5furlongs", "-1mm", "3in", "nan", "1e9"})
        EXPECT_FALSE(ParseMargin(bad)) << bad;
}

class CleanupCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Four sheets at 150 dpi: askew by -2.4 and 1.3 degrees in dark borders, a spread,
        // a page scanned sideways.
        scan_ = new TempFolder;
        tools::WriteOptions options;
        options.dpi = 150;
        tools::WriteScan(Scan(), tools::ScannedBook(4, tools::SmallA4()), options);
    }
    static void TearDownTestSuite() { delete scan_; }
    static fs::path Scan() { return *scan_ / "scanned.tif"; }

    TempFolder out_;
    static inline TempFolder* scan_ = nullptr;
};

TEST_F(CleanupCommandTest, InfoReportsEachCleanedPage) {
    const RunResult run = Vellumark({"info", Scan().string(), "--clean", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // The spread is two pages, left first, split where it was put together.
    EXPECT_EQ(Values(run.out, "sheet"), (std::vector<double>{1, 2, 3, 3, 4}));
    const std::vector<double> folds = Values(run.out, "fold");
    ASSERT_EQ(folds.size(), 5u);
    EXPECT_NEAR(folds[2], 1240 + 7, 1240 * 2 * 0.01);
    EXPECT_EQ(folds[3], folds[2]);
    EXPECT_EQ(Values(run.out, "quarterTurns"), (std::vector<double>{0, 0, 0, 0, 3}));
    const std::vector<double> skews = Values(run.out, "skew");
    ASSERT_EQ(skews.size(), 5u);
    EXPECT_NEAR(skews[0], -2.4, 0.1);
    EXPECT_NEAR(skews[1], 1.3, 0.1);
    // Body pages share one cut size.
    const std::vector<double> widths = Values(run.out, "width");
    ASSERT_EQ(widths.size(), 4u + 5u + 5u);  // the sheets, then each page's content and cut
    for (std::size_t page = 1; page < 5; ++page)
        EXPECT_EQ(widths[4 + 2 * page + 1], widths[4 + 1]) << page;
    // The boxes are in the sheets' pixels, at their resolution.
    EXPECT_EQ(Values(run.out, "resolution"), std::vector<double>(5, 150));

    // Sheets whose pixels are half as tall as wide (a fax's) are measured made square, at their
    // finer resolution, which the boxes are then in: the same content is twice as many pixels
    // tall.
    tools::WriteOptions oblong;
    oblong.dpi = 75;
    oblong.dpiAcross = 150;
    const fs::path fax = out_ / "fax.tif";
    tools::WriteScan(fax, tools::ScannedBook(4, tools::SmallA4()), oblong);
    const RunResult squared = Vellumark({"info", fax.string(), "--deskew", "--crop", "--json"});
    ASSERT_EQ(squared.exitCode, 0) << squared.err;
    EXPECT_EQ(Values(squared.out, "resolution"), std::vector<double>(4, 150));
    const std::vector<double> heights = Values(run.out, "height");
    const std::vector<double> faxHeights = Values(squared.out, "height");
    ASSERT_EQ(faxHeights.size(), 4u + 4u + 4u);  // the spread is not split here
    EXPECT_NEAR(faxHeights[4], 2 * heights[4], 0.05 * heights[4]);

    const RunResult text =
        Vellumark({"info", Scan().string(), "--split-spreads", "--right-to-left"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("cleaned up: 5 pages\npage 1: sheet 1,"), std::string::npos);
    EXPECT_NE(text.out.find("page 3: sheet 3, right of the fold"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("page 4: sheet 3, left of the fold"), std::string::npos) << text.out;
}

TEST_F(CleanupCommandTest, ACleanedBookWithItsTextLayerPassesEpubcheckAndAce) {
    const RunResult run =
        Vellumark({"convert", Scan().string(), "--author", "Ada", "--clean", "--format", "epub3",
                   "--ocr", "--output-dir", out_.Path().string(), "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    const fs::path book = out_ / "scanned.epub";
    vellumark::testing::ExpectAccessibleBook(book);
    // Five pages, each with words over it: the sideways page was read upright.
    const RunResult list = RunProgram("unzip", {"-l", book.string()});
    // The same scan cleaned up in the default format.
    const RunResult epub2 = Vellumark({"convert", Scan().string(), "--author", "Ada", "--clean",
                                       "--title", "two", "--output-dir", out_.Path().string()});
    ASSERT_EQ(epub2.exitCode, 0) << epub2.err;
    vellumark::testing::ExpectValidBooks({book, out_ / "two.epub"});
    for (const char* page : {"page5.xhtml", "5.png"})
        EXPECT_NE(list.out.find(page), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find("page6.xhtml"), std::string::npos);
    const RunResult sideways = RunProgram("unzip", {"-p", book.string(), "OEBPS/page5.xhtml"});
    EXPECT_GT(std::count(sideways.out.begin(), sideways.out.end(), ' '), 150) << sideways.out;
}

TEST_F(CleanupCommandTest, OptionsThatServeNothingAreRefusedBeforeAnyWork) {
    for (const std::vector<std::string>& extra : std::vector<std::vector<std::string>>{
             {"--margin", "5mm"},
             {"--deskew", "--margin", "5mm"},
             {"--right-to-left"},
             {"--crop", "--right-to-left"},
             {"--crop", "--margin", "5furlongs"},
             {"--clean", "--margin", "-2mm"},
         }) {
        for (const char* command : {"info", "convert"}) {
            std::vector<std::string> args = {command, Scan().string()};
            if (std::string(command) == "convert")
                args.insert(args.end(), {"--author", "Ada", "--output-dir", out_.Path().string()});
            args.insert(args.end(), extra.begin(), extra.end());
            const RunResult run = Vellumark(args);
            EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args);
            EXPECT_EQ(Lines(run.err), 1) << run.err;
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_TRUE(fs::is_empty(out_.Path()));
}

}  // namespace
}  // namespace vellumark::cli
