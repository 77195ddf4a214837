// A scanned document through clean-up, as a conversion reads it: a turned spread becomes two
// level pages, a bordered page loses its border, bilevel pages stay bilevel, and the pages'
// shapes are what their pictures turn out to be, whether the sheets are read as pictures or
// as bits.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "common/Error.h"
#include "imaging/Resampler.h"
#include "imaging/cleanup/CleanedPages.h"
#include "imaging/cleanup/Skew.h"
#include "imaging/cleanup/Turn.h"
#include "tools/ScannedSheet.h"

namespace vellumark::imaging {
namespace {

// Sheets held in memory, given as the document would give them: as pictures, and as bits too
// when `bits` (as a bilevel TIFF page gives them).
class Sheets final : public PageSource {
public:
    // Pixels per inch down and across the sheets: unknown unless given.
    Sheets(std::vector<GreyPicture> sheets, bool bits, double down = 0, double across = 0)
        : sheets_(std::move(sheets)), bits_(bits), down_(down), across_(across) {}
    int PageCount() const override { return static_cast<int>(sheets_.size()); }
    PageShape Shape(int page) const override {
        return {sheets_[page].width, sheets_[page].height, PageKind::Bilevel};
    }
    Picture PagePicture(int page) const override {
        return PagePicture(page, sheets_[page].width, sheets_[page].height);
    }
    Picture PagePicture(int page, int width, int height) const override {
        const GreyPicture& sheet = sheets_[page];
        Resampler resampler(sheet.width, sheet.height, width, height, 1);
        for (int y = 0; y < sheet.height; ++y)
            resampler.AddRow(sheet.pixels.data() + static_cast<std::size_t>(y) * sheet.width);
        return resampler.Finish();
    }
    std::optional<BitPicture> PageBits(int page) const override {
        if (!bits_)
            return std::nullopt;
        const GreyPicture& sheet = sheets_[page];
        BitPicture bits(sheet.width, sheet.height);
        for (int y = 0; y < sheet.height; ++y)
            for (int x = 0; x < sheet.width; ++x)
                if (sheet.pixels[static_cast<std::size_t>(y) * sheet.width + x] < 128)
                    bits.Row(y)[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        return bits;
    }

    double Resolution(int) const override { return down_; }
    double ResolutionAcross(int) const override { return across_; }

private:
    std::vector<GreyPicture> sheets_;
    bool bits_;
    double down_, across_;
};

// Where a picture's ink is, on average, weighed by its darkness.
std::pair<double, double> InkCentre(const Picture& picture) {
    double x = 0, y = 0, ink = 0;
    for (int row = 0; row < picture.height; ++row) {
        for (int column = 0; column < picture.width; ++column) {
            const double dark = 255 - picture.Row(row)[column];
            x += dark * column;
            y += dark * row;
            ink += dark;
        }
    }
    return {x / ink, y / ink};
}

void ExpectThreeLevelPagesOfOneSize(bool bits) {
    tools::SheetOptions turned;
    turned.degrees = 1.5;
    tools::SheetOptions bordered;
    bordered.border = 40;
    bordered.degrees = -0.8;
    const auto source = std::make_shared<Sheets>(
        std::vector<GreyPicture>{
            tools::ScanSheet(tools::Spread(tools::TextPage(tools::SmallA4(1), 250, 11),
                                           tools::TextPage(tools::SmallA4(2), 250, 11), 0),
                             turned),
            tools::ScanSheet(tools::TextPage(tools::SmallA4(3), 250, 11), bordered)},
        bits);
    CleanupOptions options;
    options.deskew = options.crop = options.splitSpreads = options.despeckle = true;
    std::vector<int> progress;
    Scheduler scheduler(2);
    const auto pages = CleanedPages::Plan(
        source, options, [](int) { return 150.0; }, scheduler,
        [&](int done, int) { progress.push_back(done); });
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 2);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    ASSERT_EQ(pages->PageCount(), 3);
    EXPECT_EQ(pages->PlanOf(0).sheet, 0);
    EXPECT_EQ(pages->PlanOf(1).sheet, 0);
    EXPECT_EQ(pages->PlanOf(2).sheet, 1);
    for (int page = 0; page < 3; ++page) {
        SCOPED_TRACE(page);
        const PageShape shape = pages->Shape(page);
        EXPECT_EQ(shape.width, pages->Shape(0).width);
        EXPECT_EQ(shape.height, pages->Shape(0).height);
        const Picture own = pages->PagePicture(page, shape.width, shape.height);
        EXPECT_EQ(own.width, shape.width);
        EXPECT_EQ(own.height, shape.height);
        EXPECT_TRUE(std::all_of(own.samples.begin(), own.samples.end(),
                                [](std::uint8_t v) { return v == 0 || v == 255; }));
        const SkewEstimate left = MeasureSkew(ToGrey(own), 150);
        ASSERT_TRUE(left.confident);
        EXPECT_LT(std::abs(left.degrees), 0.1);
        // No border left: the page's edges are paper.
        const GreyPicture grey = ToGrey(own);
        EXPECT_TRUE(std::all_of(grey.pixels.begin(), grey.pixels.begin() + grey.width,
                                [](std::uint8_t v) { return v == 255; }));
        // At 96 pixels per inch of the sheet's 150.
        const Picture screen = pages->PagePicture(page);
        EXPECT_EQ(screen.width, static_cast<int>(std::lround(shape.width * 96.0 / 150)));
        // Far smaller (a turned page is then made at twice the size and halved, or shrunk from
        // its turned bits), and thumbnail-small (from the sheet read small): the same page as
        // the full-size one shrunk, not moved by half a pixel or more (a thumbnail, cut where
        // whole pixels of the small sheet fall, by a pixel).
        for (const int times : {3, 8}) {
            const int w = shape.width / times, h = shape.height / times;
            const Picture small = pages->PagePicture(page, w, h);
            ASSERT_EQ(small.width, w);
            ASSERT_EQ(small.height, h);
            Resampler shrink(own.width, own.height, w, h, 1);
            for (int y = 0; y < own.height; ++y)
                shrink.AddRow(own.Row(y));
            const auto [x, y] = InkCentre(small);
            const auto [expectedX, expectedY] = InkCentre(shrink.Finish());
            const double within = times < 8 ? 0.5 : 1.0;
            EXPECT_NEAR(x, expectedX, within) << times;
            EXPECT_NEAR(y, expectedY, within) << times;
        }
    }
}

TEST(CleanedPagesTest, ASpreadAndABorderedPageBecomeThreeLevelPagesOfOneSize) {
    {
        SCOPED_TRACE("sheets read as pictures");
        ExpectThreeLevelPagesOfOneSize(false);
    }
    SCOPED_TRACE("sheets read as bits");
    ExpectThreeLevelPagesOfOneSize(true);
}

// Text close to a dark border: once the page is levelled, the border runs aslant past the
// corners of the content's margin. What of it reaches into the page is cleared. A picture printed
// to the paper's edges is left whole, wherever its content was found.
TEST(CleanedPagesTest, ABorderReachingIntoTheMarginIsClearedAndAPictureToTheEdgeIsNot) {
    {
        GreyPicture photo{1240, 1754, std::vector<std::uint8_t>(1240u * 1754u)};
        for (int y = 0; y < photo.height; ++y)
            for (int x = 0; x < photo.width; ++x)
                photo.pixels[static_cast<std::size_t>(y) * photo.width + x] =
                    static_cast<std::uint8_t>(70 + 40 * std::sin(x / 31.0) * std::cos(y / 17.0));
        CleanupOptions options;
        options.crop = true;
        Scheduler scheduler(1);
        const auto pages = CleanedPages::Plan(
            std::make_shared<Sheets>(std::vector<GreyPicture>{photo}, false), options,
            [](int) { return 150.0; }, scheduler);
        const Picture page = pages->PagePicture(0, pages->Shape(0).width, pages->Shape(0).height);
        EXPECT_EQ(std::count(page.samples.begin(), page.samples.end(), 255), 0);
    }
    tools::PageLayout tight = tools::SmallA4(5);
    tight.margin = 80;
    tools::SheetOptions sheet;
    sheet.border = 40;
    sheet.degrees = 2;
    for (const bool bits : {false, true}) {
        SCOPED_TRACE(bits ? "bits" : "picture");
        const auto source = std::make_shared<Sheets>(
            std::vector<GreyPicture>{tools::ScanSheet(tools::TextPage(tight, 300, 11), sheet)},
            bits);
        CleanupOptions options;
        options.deskew = options.crop = true;
        Scheduler scheduler(1);
        const auto pages = CleanedPages::Plan(
            source, options, [](int) { return 150.0; }, scheduler);
        const PageShape shape = pages->Shape(0);
        for (const int times : {1, 3}) {
            SCOPED_TRACE(times);
            const GreyPicture page =
                ToGrey(pages->PagePicture(0, shape.width / times, shape.height / times));
            const auto at = [&](int x, int y) {
                return page.pixels[static_cast<std::size_t>(y) * page.width + x];
            };
            int dark = 0;
            for (int x = 0; x < page.width; ++x)
                dark += (at(x, 0) < 200) + (at(x, page.height - 1) < 200);
            for (int y = 0; y < page.height; ++y)
                dark += (at(0, y) < 200) + (at(page.width - 1, y) < 200);
            EXPECT_EQ(dark, 0);
        }
    }
}

// Dust is cleared where it is whole, at the sheet's own pixels: a dusty bilevel sheet comes
// out at a screen's size as its clean self, where specks made smaller first would be grey
// smudges too faint to be told from ink.
TEST(CleanedPagesTest, DustIsClearedBeforeThePageIsMadeSmaller) {
    tools::PageLayout layout;  // a part of an A4 page at 300 dpi
    layout.width = 1240;
    layout.height = 1754;
    layout.margin = 150;
    layout.seed = 5;
    const GreyPicture clean = tools::ScanSheet(tools::TextPage(layout, 150));
    layout.specks = 300;
    const GreyPicture dusty = tools::ScanSheet(tools::TextPage(layout, 150));
    const auto source = std::make_shared<Sheets>(std::vector<GreyPicture>{clean, dusty}, true);
    CleanupOptions options;
    options.despeckle = true;
    Scheduler scheduler(1);
    const auto pages = CleanedPages::Plan(
        source, options, [](int) { return 300.0; }, scheduler, nullptr);
    const int width = clean.width * 96 / 300, height = clean.height * 96 / 300;
    const Picture fromClean = pages->PagePicture(0, width, height);
    const Picture fromDusty = pages->PagePicture(1, width, height);
    ASSERT_EQ(fromClean.samples.size(), fromDusty.samples.size());
    int smudges = 0;
    for (std::size_t i = 0; i < fromClean.samples.size(); ++i)
        smudges += std::abs(fromClean.samples[i] - fromDusty.samples[i]) > 16 ? 1 : 0;
    // Only specks that fell on or right beside letters stay (382 pixels differed when specks
    // were cleared at the book's size).
    EXPECT_LT(smudges, 120);
}
// A level page is made smaller once, to the size asked for, from the sheet within its box: cut
// from the sheet read small and made smaller again to fit, it came out blurred and up to a
// pixel off. A bilevel sheet read as bits gives exactly the box made smaller; one read as a
// picture, the box cut where whole pixels of the small sheet fall, as sharp.
TEST(CleanedPagesTest, ALevelPageIsMadeSmallerOnceFromTheSheetWithinItsBox) {
    const GreyPicture sheet = tools::ScanSheet(tools::TextPage(tools::SmallA4(4), 250, 11));
    // Greys between ink and paper: a picture made smaller twice has more of them.
    const auto blurred = [](const Picture& picture) {
        return std::count_if(picture.samples.begin(), picture.samples.end(),
                             [](std::uint8_t v) { return v > 48 && v < 208; });
    };
    for (const bool bits : {true, false}) {
        SCOPED_TRACE(bits);
        CleanupOptions options;
        options.crop = true;
        Scheduler scheduler(1);
        const auto pages = CleanedPages::Plan(
            std::make_shared<Sheets>(std::vector<GreyPicture>{sheet}, bits), options,
            [](int) { return 150.0; }, scheduler, nullptr);
        const PixelBox box = pages->PlanOf(0).box;
        ASSERT_EQ(pages->PlanOf(0).degrees, 0);
        ASSERT_TRUE((PixelBox{0, 0, sheet.width, sheet.height}.Contains(box)));
        ASSERT_LT(box.Width(), sheet.width - 20);
        const int width = box.Width() / 3, height = box.Height() / 3;
        Resampler shrink(box.Width(), box.Height(), width, height, 1);
        for (int y = box.top; y < box.bottom; ++y)
            shrink.AddRow(sheet.pixels.data() + static_cast<std::size_t>(y) * sheet.width +
                          box.left);
        const Picture expected = shrink.Finish();
        const Picture made = pages->PagePicture(0, width, height);
        ASSERT_EQ(made.samples.size(), expected.samples.size());
        const auto [x, y] = InkCentre(made);
        const auto [expectedX, expectedY] = InkCentre(expected);
        EXPECT_NEAR(x, expectedX, 0.5);
        EXPECT_NEAR(y, expectedY, 0.5);
        if (bits) {
            int off = 0;
            for (std::size_t i = 0; i < made.samples.size(); ++i)
                off += std::abs(made.samples[i] - expected.samples[i]) > 2 ? 1 : 0;
            EXPECT_EQ(off, 0);
        } else {
            EXPECT_LT(blurred(made), blurred(expected) * 11 / 10);
        }
    }
}

// A bilevel sheet scanned sideways comes out upright, the same whether it is read as bits
// (turned by quarters as bits) or as a picture.
TEST(CleanedPagesTest, ASidewaysSheetIsTurnedUprightAlikeAsBitsAndAsAPicture) {
    const GreyPicture sideways =
        TurnQuarters(tools::ScanSheet(tools::TextPage(tools::SmallA4(6), 250, 11)), 1);
    CleanupOptions options;
    options.upright = true;
    std::vector<Picture> made;
    for (const bool bits : {false, true}) {
        Scheduler scheduler(1);
        const auto pages = CleanedPages::Plan(
            std::make_shared<Sheets>(std::vector<GreyPicture>{sideways}, bits), options,
            [](int) { return 150.0; }, scheduler, nullptr);
        ASSERT_EQ(pages->PlanOf(0).quarters, 3);
        const PageShape shape = pages->Shape(0);
        ASSERT_EQ(shape.width, sideways.height);
        made.push_back(pages->PagePicture(0, shape.width, shape.height));
    }
    EXPECT_EQ(made[0].samples, made[1].samples);
}

// A sheet whose pixels are twice as tall as wide (a fax at its normal resolution) is levelled
// by its true angle and cut to its true shape: turned in its own pixels, it would be sheared,
// and its page would come out twice as wide.
TEST(CleanedPagesTest, ASheetOfOblongPixelsIsLevelledAndCutToItsOwnShape) {
    tools::SheetOptions skewed;
    skewed.degrees = 2;
    const GreyPicture square =
        tools::ScanSheet(tools::TextPage(tools::SmallA4(7), 250, 11), skewed);
    Resampler squash(square.width, square.height, square.width / 2, square.height, 1);
    for (int y = 0; y < square.height; ++y)
        squash.AddRow(square.pixels.data() + static_cast<std::size_t>(y) * square.width);
    const Picture squashed = squash.Finish();
    CleanupOptions options;
    options.deskew = options.crop = true;
    std::vector<std::shared_ptr<const CleanedPages>> made;
    for (const auto& [sheet, across] :
         {std::pair{square, 150.0}, std::pair{ToGrey(squashed), 75.0}}) {
        Scheduler scheduler(1);
        made.push_back(CleanedPages::Plan(
            std::make_shared<Sheets>(std::vector<GreyPicture>{sheet}, true, 150.0, across), options,
            [](int) { return 150.0; }, scheduler, nullptr));
    }
    const PagePlan& plan = made[1]->PlanOf(0);
    ASSERT_TRUE(plan.skewMeasured);
    EXPECT_NEAR(plan.skew, made[0]->PlanOf(0).skew, 0.05);
    EXPECT_NEAR(made[1]->Shape(0).width, made[0]->Shape(0).width, 3);
    EXPECT_NEAR(made[1]->Shape(0).height, made[0]->Shape(0).height, 3);
    const Picture page = made[1]->PagePicture(0);
    const auto [width, height] = made[0]->PictureSize(0);
    EXPECT_NEAR(page.width, width, 2);
    EXPECT_NEAR(page.height, height, 2);

    // Resolutions a rounding apart are one: the sheet is taken as it is.
    Scheduler scheduler(1);
    const auto rounded = CleanedPages::Plan(
        std::make_shared<Sheets>(std::vector<GreyPicture>{square}, true, 150.0, 149.9), options,
        [](int) { return 150.0; }, scheduler, nullptr);
    EXPECT_EQ(rounded->Shape(0).width, made[0]->Shape(0).width);
    EXPECT_EQ(rounded->PlanOf(0).skew, made[0]->PlanOf(0).skew);
}

// A sheet whose file claims a hundredth of a dot per inch: its page at 96 dpi would be millions of
// pixels across. It is refused as the sheet itself would be, not tried until memory runs out.
TEST(CleanedPagesTest, APagePictureBeyondTheLimitIsRefusedNamingTheSheet) {
    GreyPicture sheet{200, 300, std::vector<std::uint8_t>(200u * 300u, 255)};
    for (int y = 100; y < 200; ++y)
        std::fill_n(sheet.pixels.begin() + y * 200 + 50, 100, 0);
    CleanupOptions options;
    options.crop = options.despeckle = true;
    for (const bool bits : {false, true}) {
        Scheduler scheduler(1);
        const auto pages = CleanedPages::Plan(
            std::make_shared<Sheets>(std::vector<GreyPicture>{sheet}, bits, 0.01, 0.01), options,
            [](int) { return 0.01; }, scheduler);
        try {
            (void)pages->PagePicture(0);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.Code(), ErrorCode::TooLarge) << e.what();
            EXPECT_EQ(e.Page(), 0);
        }
        EXPECT_EQ(pages->PagePicture(0, 30, 40).width, 30);
    }
}

}  // namespace
}  // namespace vellumark::imaging
