// Pages scanned sideways or upside down are found so, and turned back by the quarter turns.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "imaging/cleanup/CleanupPlan.h"
#include "imaging/cleanup/LineShape.h"
#include "imaging/cleanup/Skew.h"
#include "imaging/cleanup/Turn.h"
#include "imaging/text/Ocr.h"
#include "tools/ScannedSheet.h"

namespace vellumark::imaging {
namespace {

TEST(UprightTest, QuarterTurnsComeBackWhereTheyStarted) {
    GreyPicture page{3, 2, {1, 2, 3, 4, 5, 6}};
    const GreyPicture once = TurnQuarters(page, 1);
    EXPECT_EQ(once.width, 2);
    EXPECT_EQ(once.height, 3);
    EXPECT_EQ(once.pixels, (std::vector<std::uint8_t>{4, 1, 5, 2, 6, 3}));
    EXPECT_EQ(TurnQuarters(page, 2).pixels, (std::vector<std::uint8_t>{6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(TurnQuarters(TurnQuarters(page, 3), 1).pixels, page.pixels);
    EXPECT_EQ(TurnQuarters(page, -1).pixels, TurnQuarters(page, 3).pixels);

    // Bits turn as pixels do, with paper past each row's end; widths neither whole bytes nor
    // whole words.
    std::mt19937 random(7);
    for (const auto& [width, height] : {std::pair{13, 70}, std::pair{70, 9}, std::pair{64, 1}}) {
        GreyPicture grey{width, height, std::vector<std::uint8_t>(std::size_t(width) * height)};
        BitPicture bits(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const bool ink = random() % 3 == 0;
                grey.pixels[std::size_t(y) * width + x] = ink ? 0 : 255;
                if (ink)
                    bits.Row(y)[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
        for (int quarters = -1; quarters <= 4; ++quarters) {
            const GreyPicture want = TurnQuarters(grey, quarters);
            const BitPicture got = TurnQuarters(bits, quarters);
            ASSERT_EQ(got.width, want.width);
            ASSERT_EQ(got.height, want.height);
            for (int y = 0; y < got.height; ++y) {
                for (std::size_t x = 0; x < got.stride * 8; ++x) {
                    const bool ink = x < std::size_t(got.width) &&
                                     want.pixels[std::size_t(y) * want.width + x] == 0;
                    ASSERT_EQ((got.Row(y)[x / 8] >> (7 - x % 8)) & 1, ink ? 1 : 0)
                        << width << "x" << height << " by " << quarters << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(UprightTest, TurnedTextPagesAreFoundAndBlankOnesLeft) {
    tools::PageLayout layout = tools::SmallA4();
    const GreyPicture upright = tools::ScanSheet(tools::TextPage(layout, 250, 11));
    for (int turned = 0; turned < 4; ++turned) {
        const auto found = DetectUpright(TurnQuarters(upright, turned), 150);
        ASSERT_TRUE(found.has_value()) << turned;
        std::printf("  turned %d: back by %d, confidence %.2f\n", turned, found->quarters,
                    found->confidence);
        EXPECT_EQ(found->quarters, (4 - turned) % 4);
        EXPECT_GE(found->confidence, kConfidentUpright);
    }
    const GreyPicture blank{400, 600, std::vector<std::uint8_t>(400 * 600, 255)};
    const auto none = DetectUpright(blank, 150);
    EXPECT_TRUE(!none || none->confidence < kConfidentUpright);
}

TEST(UprightTest, LettersRiseAboveTheirLinesOnPagesTheRightWayUp) {
    // Askew pages are measured along their lines, as their skew gives them.
    for (const double degrees : {0.0, 3.5, -6.0}) {
        for (const bool grey : {false, true}) {
            tools::SheetOptions options;
            options.grey = grey;
            options.degrees = degrees;
            const GreyPicture page =
                tools::ScanSheet(tools::TextPage(tools::SmallA4(5), 250, 11), options);
            const SkewEstimate skew = MeasureSkew(page, 150);
            ASSERT_TRUE(skew.confident);
            const double upright = AscenderRatio(page, skew.degrees);
            const double upsideDown = AscenderRatio(TurnQuarters(page, 2), skew.degrees);
            std::printf("  %+.1f deg %s: ratio %.2f upright, %.2f upside down\n", degrees,
                        grey ? "grey" : "bilevel", upright, upsideDown);
            EXPECT_GE(upright, kUprightAscenders);
            EXPECT_LT(upsideDown, 1.0);
        }
    }
    const GreyPicture blank{400, 600, std::vector<std::uint8_t>(400 * 600, 255)};
    EXPECT_EQ(AscenderRatio(blank), 1.0);
}

// Sideways pages of small type at 150 dpi, as common book faces are there, get Tesseract's right
// turn with a confidence under the sure one; the page's own lines, levelled and reading the
// right way up once turned, confirm it. Its wrong turns of smaller letters are not confirmed
// (below).
TEST(UprightTest, AGuessedTurnIsTakenWhenThePagesLinesConfirmIt) {
    const GreyPicture upright = tools::ScanSheet(tools::TextPage(tools::SmallA4(), 300, 10));
    CleanupOptions options;
    options.upright = true;
    for (const int turned : {1, 3}) {
        const auto found = DetectUpright(TurnQuarters(upright, turned), 150);
        ASSERT_TRUE(found.has_value());
        std::printf("  turned %d: confidence %.1f\n", turned, found->confidence);
        // The case this test is for: a right guess, under the sure confidence.
        ASSERT_EQ(found->quarters, 4 - turned);
        ASSERT_TRUE(found->latin);
        ASSERT_GE(found->confidence, kGuessedUpright);
        ASSERT_LT(found->confidence, kConfidentUpright);
        const std::vector<PagePlan> plans =
            PlanSheet(0, TurnQuarters(upright, turned), 150, options);
        ASSERT_EQ(plans.size(), 1u);
        EXPECT_EQ(plans[0].quarters, 4 - turned) << turned;
    }
}

// Tesseract misreads the turn of letters too small for it, and says so with some confidence:
// such pages (here at 75 and 100 dpi, where it turns sideways pages the wrong way) must stay as
// they are.
TEST(UprightTest, PagesOfTinyLettersAreNotTurned) {
    tools::PageLayout layout;
    layout.seed = 3;
    const GreyPicture full = tools::ScanSheet(tools::TextPage(layout, 380, 10));
    CleanupOptions options;
    options.upright = true;
    for (const int factor : {3, 4}) {
        const GreyPicture page = Shrink(full, factor);
        for (int turned = 0; turned < 4; ++turned) {
            const std::vector<PagePlan> plans =
                PlanSheet(0, TurnQuarters(page, turned), 300.0 / factor, options);
            ASSERT_EQ(plans.size(), 1u);
            EXPECT_TRUE(plans[0].quarters == 0 || plans[0].quarters == (4 - turned) % 4)
                << factor << " " << turned;
        }
    }
}

}  // namespace
}  // namespace vellumark::imaging
