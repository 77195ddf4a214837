// Whole books planned: body pages share one size with their text placed alike (short lines at
// the book's left edge, a narrow block centred), a short last page is not enlarged, a plate
// does not set a short document's page size, a larger plate
// keeps its own box, a blank page takes the book's size without its border (a full-page picture is
// not blank), spreads become two pages in reading order with each page levelled by its own angle
// (and a sheet with a blank page where the others fold), a landscape page in two columns stays one,
// a photo is neither turned nor split, a sideways page is turned upright, a dim corner is paper and
// a page number far below the text is content, faded letters and a dim scan inside a wide
// border are their text, holes punched for a binder, the paper's own edge and
// a border short of the sheet's edge are not.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "imaging/cleanup/CleanupPlan.h"
#include "imaging/cleanup/Turn.h"
#include "tools/ScannedSheet.h"

namespace vellumark::imaging {
namespace {

constexpr double kDpi = 150;

CleanupOptions Clean() {
    CleanupOptions options;
    options.upright = options.deskew = options.crop = options.splitSpreads = true;
    return options;
}

TEST(CleanupPlanTest, BodyPagesShareOneSizeAndAShortPageIsNotEnlarged) {
    std::vector<PagePlan> plans;
    const int words[] = {250, 250, 250, 60};  // the last page of a chapter is short
    for (int i = 0; i < 4; ++i) {
        tools::SheetOptions sheet;
        sheet.degrees = i * 0.7 - 1;
        sheet.border = 30;
        const GreyPicture page =
            tools::ScanSheet(tools::TextPage(tools::SmallA4(i + 1), words[i], 11), sheet);
        for (PagePlan& plan : PlanSheet(i, page, kDpi, Clean()))
            plans.push_back(plan);
    }
    ASSERT_EQ(plans.size(), 4u);
    MatchPageSizes(
        plans, [](int) { return kDpi; }, Clean());
    for (const PagePlan& plan : plans) {
        SCOPED_TRACE(plan.sheet);
        EXPECT_EQ(plan.box.Width(), plans[0].box.Width());
        EXPECT_EQ(plan.box.Height(), plans[0].box.Height());
        // The text starts at the margin from the top, and no content is cut off.
        EXPECT_EQ(plan.content.top - plan.box.top, plans[0].content.top - plans[0].box.top);
        EXPECT_LE(plan.box.left, plan.content.left);
        EXPECT_GE(plan.box.right, plan.content.right);
        EXPECT_GE(plan.box.bottom, plan.content.bottom);
    }
    // The border is gone: the page is the text and its margins.
    EXPECT_LT(plans[0].box.Width(), 1240 - 2 * 150 + 2 * 0.2 * kDpi + 8);
}

// Text ragged at the right, a page of short lines and a narrow block in the middle of its page:
// across their shared size, the first two keep the left edge the book's text has on pages of
// their hand, and the block stays in the middle.
TEST(CleanupPlanTest, ShortLinesKeepTheBooksLeftEdgeAndANarrowBlockStaysCentred) {
    // Ink kept only between two fractions of the sheet's width.
    const auto keep = [](tools::BilevelPage page, double from, double to) {
        for (int y = 0; y < page.height; ++y)
            for (int x = 0; x < page.width; ++x)
                if (x < from * page.width || x >= to * page.width)
                    page.bits[static_cast<std::size_t>(y) * page.Stride() + x / 8] &=
                        static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
        return page;
    };
    std::vector<PagePlan> plans;
    for (int i = 0; i < 8; ++i) {
        tools::BilevelPage page = tools::TextPage(tools::SmallA4(i + 1), 250, 11);
        if (i == 6)
            page = keep(std::move(page), 0, 0.45);  // short lines
        if (i == 7)
            page = keep(std::move(page), 0.35, 0.65);  // a narrow block
        // Each sheet at an angle of its own, as they come from a scanner: levelled, a sheet's
        // canvas widens by as much as the text's edge would move.
        const double angles[] = {0.4, -0.3, -1.6, 1.2, 1.1, -1.4, -1.9, 1.5};
        tools::SheetOptions sheet;
        sheet.degrees = angles[i];
        for (PagePlan& plan : PlanSheet(i, tools::ScanSheet(page, sheet), kDpi, Clean()))
            plans.push_back(plan);
    }
    ASSERT_EQ(plans.size(), 8u);
    MatchPageSizes(
        plans, [](int) { return kDpi; }, Clean());
    const auto leftRoom = [](const PagePlan& plan) { return plan.content.left - plan.box.left; };
    for (const PagePlan& plan : plans) {
        SCOPED_TRACE(plan.sheet);
        EXPECT_EQ(plan.box.Width(), plans[0].box.Width());
        EXPECT_LE(plan.box.left, plan.content.left);
        EXPECT_GE(plan.box.right, plan.content.right);
        // As the full pages of its hand, within the few pixels a content box is measured to.
        if (plan.sheet < 7) {
            EXPECT_NEAR(leftRoom(plan), leftRoom(plans[plan.sheet % 2]), 4);
        }
    }
    // Centred: the block was centred on the page.
    EXPECT_NEAR(leftRoom(plans[7]), plans[7].box.right - plans[7].content.right, 2);
}

// The same for the pages of split sheets, the inner margins narrower than the outer ones: each
// page is of the hand of its side of the fold, also where, levelled by its own angle, it
// reaches a little past it.
TEST(CleanupPlanTest, ShortLinesOfASplitSheetsRightPageKeepItsHandsLeftEdge) {
    std::vector<PagePlan> plans;
    for (int sheet = 0; sheet < 4; ++sheet) {
        PagePlan left, right;
        left.sheet = right.sheet = sheet;
        left.fold = right.fold = 1250;
        left.area = {0, 0, 1262, 1754};
        right.area = {1238, 0, 2500, 1754};
        left.content = {300, 200, 1100, 1500};
        right.content = {1400, 200, sheet == 3 ? 1750 : 2200, 1500};  // the last one short
        left.box = left.content;
        right.box = right.content;
        plans.push_back(left);
        plans.push_back(right);
    }
    MatchPageSizes(
        plans, [](int) { return kDpi; }, Clean());
    const auto leftRoom = [](const PagePlan& plan) { return plan.content.left - plan.box.left; };
    EXPECT_EQ(leftRoom(plans[7]), leftRoom(plans[1]));
    EXPECT_EQ(plans[7].box.Width(), plans[1].box.Width());
}

// A short document: twelve pages of text, one of them measured a pixel taller than the rest, and
// a plate far wider. The text pages share a size that fits each of them; the plate does not set
// it, and nor do short pages where they are most of a book.
TEST(CleanupPlanTest, APlateDoesNotSetAShortDocumentsPageSize) {
    std::vector<PagePlan> plans;
    for (int sheet = 0; sheet < 13; ++sheet) {
        PagePlan plan;
        plan.sheet = sheet;
        plan.area = {0, 0, 1240, 1754};
        plan.content = sheet == 12  ? PixelBox{100, 300, 1140, 1000}
                       : sheet == 3 ? PixelBox{200, 150, 1000 + sheet, 1451}
                                    : PixelBox{200, 150, 1000 + sheet, 1450};
        plan.box = plan.content;
        plans.push_back(plan);
    }
    MatchPageSizes(
        plans, [](int) { return kDpi; }, Clean());
    const int margin = static_cast<int>(std::lround(Clean().marginInches * kDpi));
    for (int sheet = 0; sheet < 12; ++sheet) {
        SCOPED_TRACE(sheet);
        EXPECT_EQ(plans[sheet].box.Width(), 811 + 2 * margin);
        EXPECT_EQ(plans[sheet].box.Height(), 1301 + 2 * margin);
    }
    EXPECT_EQ(plans[12].box, plans[12].content);  // its own

    // A book of poems: more pages short than full. The full ones are its text pages too.
    std::vector<PagePlan> poems;
    for (int sheet = 0; sheet < 7; ++sheet) {
        PagePlan plan;
        plan.sheet = sheet;
        plan.area = {0, 0, 1240, 1754};
        plan.content = {200, 150, 1000, sheet < 3 ? 1450 : 830 + 40 * sheet};
        plan.box = plan.content;
        poems.push_back(plan);
    }
    MatchPageSizes(
        poems, [](int) { return kDpi; }, Clean());
    for (const PagePlan& plan : poems)
        EXPECT_EQ(plan.box.Height(), 1300 + 2 * margin) << plan.sheet;
}

// A blank page (the back of a title, a chapter's end) is cut to the book's page size from its
// middle, without the scanner's border along its edges; a picture that fills its sheet to the
// edges is not taken for one.
TEST(CleanupPlanTest, ABlankPageTakesTheBooksSizeAndAFullPagePictureIsNotBlank) {
    std::vector<PagePlan> plans;
    tools::SheetOptions bordered;
    bordered.border = 40;
    for (int i = 0; i < 3; ++i) {
        const GreyPicture page =
            tools::ScanSheet(tools::TextPage(tools::SmallA4(i + 1), 250, 11), bordered);
        for (PagePlan& plan : PlanSheet(i, page, kDpi, Clean()))
            plans.push_back(plan);
    }
    tools::BilevelPage empty{1240, 1754, {}};
    empty.bits.assign(static_cast<std::size_t>(empty.Stride()) * empty.height, 0);
    const GreyPicture blank = tools::ScanSheet(empty, bordered);
    const std::vector<PagePlan> none = PlanSheet(3, blank, kDpi, Clean());
    ASSERT_EQ(none.size(), 1u);
    EXPECT_TRUE(none[0].content.Empty());
    EXPECT_TRUE(none[0].blank);
    plans.push_back(none[0]);
    // A dark photograph to every edge is not blank, whatever content is found in it.
    GreyPicture picture{1240, 1754, std::vector<std::uint8_t>(1240u * 1754u)};
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            picture.pixels[static_cast<std::size_t>(y) * picture.width + x] =
                static_cast<std::uint8_t>(70 + 40 * std::sin(x / 31.0) * std::cos(y / 17.0));
    EXPECT_FALSE(PlanSheet(4, picture, kDpi, Clean()).at(0).blank);
    MatchPageSizes(
        plans, [](int) { return kDpi; }, Clean());
    const PixelBox& body = plans[0].box;
    const PixelBox& cut = plans[3].box;
    EXPECT_EQ(cut.Width(), body.Width());
    EXPECT_EQ(cut.Height(), body.Height());
    EXPECT_GE(cut.left, 40);
    EXPECT_GE(cut.top, 40);
    EXPECT_LE(cut.right, 1240 - 40);
    EXPECT_LE(cut.bottom, 1754 - 40);
}

TEST(CleanupPlanTest, ASpreadBecomesTwoPagesInReadingOrder) {
    const tools::BilevelPage spread = tools::Spread(tools::TextPage(tools::SmallA4(1), 250, 11),
                                                    tools::TextPage(tools::SmallA4(2), 250, 11), 0);
    tools::SheetOptions sheet;
    sheet.degrees = 1.2;
    const GreyPicture pixels = tools::ScanSheet(spread, sheet);
    const std::vector<PagePlan> plans = PlanSheet(0, pixels, kDpi, Clean());
    ASSERT_EQ(plans.size(), 2u);
    EXPECT_NEAR(plans[0].degrees, -1.2, 0.05);
    EXPECT_LT(plans[0].box.right, plans[1].box.left + 1);
    EXPECT_NEAR(plans[0].fold, pixels.width / 2.0, 0.01 * pixels.width);

    CleanupOptions rightToLeft = Clean();
    rightToLeft.rightToLeft = true;
    const std::vector<PagePlan> reversed = PlanSheet(0, pixels, kDpi, rightToLeft);
    ASSERT_EQ(reversed.size(), 2u);
    EXPECT_EQ(reversed[0].box, plans[1].box);
    EXPECT_EQ(reversed[1].box, plans[0].box);

    // Facing pages of an open book each lie at an angle of their own: each is levelled by its
    // own, and found without the other's edge, here or in the page levelled the other way.
    for (const bool grey : {false, true}) {
        SCOPED_TRACE(grey ? "grey" : "bilevel");
        tools::SheetOptions leftSheet, rightSheet;
        leftSheet.degrees = 0.8;
        rightSheet.degrees = -0.6;
        leftSheet.grey = rightSheet.grey = grey;
        const tools::BilevelPage leftPage = tools::TextPage(tools::SmallA4(1), 250, 11);
        const GreyPicture leftHalf = tools::ScanSheet(leftPage, leftSheet);
        const GreyPicture rightHalf =
            tools::ScanSheet(tools::TextPage(tools::SmallA4(2), 250, 11), rightSheet);
        GreyPicture open{2 * leftHalf.width, leftHalf.height, {}};
        for (int y = 0; y < open.height; ++y) {
            for (const GreyPicture* half : {&leftHalf, &rightHalf}) {
                const auto row =
                    half->pixels.begin() + static_cast<std::ptrdiff_t>(y) * half->width;
                open.pixels.insert(open.pixels.end(), row, row + half->width);
            }
        }
        const std::vector<PagePlan> facing = PlanSheet(0, open, kDpi, Clean());
        ASSERT_EQ(facing.size(), 2u);
        EXPECT_NEAR(facing[0].degrees, -0.8, 0.05);
        EXPECT_NEAR(facing[1].degrees, 0.6, 0.05);
        const std::vector<int> ink = tools::InkBox(leftPage);
        for (const PagePlan& page : facing) {
            EXPECT_NEAR(page.content.Width(), ink[2] - ink[0], 25);
            EXPECT_NEAR(page.content.Height(), ink[3] - ink[1], 25);
        }
        EXPECT_LT(facing[0].content.right, facing[0].fold);
        EXPECT_GT(facing[1].content.left, facing[1].fold);
    }

    // A landscape page set in two columns a quarter of an inch apart is one page.
    tools::PageLayout column = tools::SmallA4(5);
    column.width = 800;
    column.height = 1240;
    column.margin = 20;
    const tools::BilevelPage left = tools::TextPage(column, 170, 11);
    column.seed = 6;
    const tools::BilevelPage landscape = tools::Spread(left, tools::TextPage(column, 170, 11), 0);
    EXPECT_EQ(PlanSheet(0, tools::ScanSheet(landscape, sheet), kDpi, Clean()).size(), 1u);
}

// A book scanned open has blank pages (a chapter's end): such a sheet cannot be told from a
// single page by its text, and is split where the book's other sheets fold, its blank page cut
// to the book's size; a plate across the fold stays whole.
TEST(CleanupPlanTest, ASheetWithABlankPageIsSplitWhereTheOthersFold) {
    const auto spread = [](const tools::BilevelPage& left, const tools::BilevelPage& right) {
        return tools::ScanSheet(tools::Spread(left, right, 0));
    };
    const auto text = [](unsigned seed) { return tools::TextPage(tools::SmallA4(seed), 250, 11); };
    std::vector<GreyPicture> sheets;
    for (unsigned i = 0; i < 3; ++i)
        sheets.push_back(spread(text(2 * i + 1), text(2 * i + 2)));
    sheets.push_back(spread(tools::TextPage(tools::SmallA4(7), 0, 11), text(8)));
    GreyPicture plate = spread(tools::TextPage(tools::SmallA4(9), 0, 11),
                               tools::TextPage(tools::SmallA4(10), 0, 11));
    for (int y = 300; y < 1400; ++y)
        for (int x = 400; x < 2080; ++x)
            plate.pixels[static_cast<std::size_t>(y) * plate.width + x] = 60;
    sheets.push_back(plate);

    std::vector<PagePlan> plans;
    for (int i = 0; i < static_cast<int>(sheets.size()); ++i)
        for (const PagePlan& plan :
             PlanSheet(i, sheets[static_cast<std::size_t>(i)], kDpi, Clean()))
            plans.push_back(plan);
    ASSERT_EQ(plans.size(), 8u);
    const PagePlan unsplit = plans[6];
    SplitLikeTheRest(
        plans, [](int) { return kDpi; }, Clean());
    ASSERT_EQ(plans.size(), 9u);
    EXPECT_EQ(plans[6].sheet, 3);
    EXPECT_EQ(plans[7].sheet, 3);
    EXPECT_NEAR(plans[6].fold, plans[0].fold, 0.01 * sheets[0].width);
    EXPECT_TRUE(plans[6].content.Empty());
    EXPECT_EQ(plans[7].content, unsplit.content);
    EXPECT_GE(plans[7].area.left, plans[6].area.right);
    EXPECT_EQ(plans[8].sheet, 4);
    EXPECT_EQ(plans[8].fold, -1);
    // The blank page takes the book's size, from the middle of its half, like any blank page.
    EXPECT_TRUE(plans[6].blank);
    EXPECT_FALSE(plans[7].blank);
    MatchPageSizes(
        plans, [](int) { return kDpi; }, Clean());
    EXPECT_TRUE(plans[6].area.Contains(plans[6].box));
    EXPECT_EQ(plans[6].box.Width(), std::min(plans[0].box.Width(), plans[6].area.Width()));
    EXPECT_EQ(plans[6].box.Height(), plans[0].box.Height());
}

TEST(CleanupPlanTest, APhotoIsNeitherTurnedNorSplitAndASidewaysPageIsTurnedUpright) {
    // A photograph with stripes at a slant, across a wide sheet.
    GreyPicture photo{1754, 1240, std::vector<std::uint8_t>(1754u * 1240u, 255)};
    for (int y = 200; y < 1040; ++y) {
        for (int x = 200; x < 1554; ++x) {
            const double stripe = std::sin((y + x * 0.05) / 9.0);
            photo.pixels[static_cast<std::size_t>(y) * photo.width + x] =
                static_cast<std::uint8_t>(110 + 100 * stripe);
        }
    }
    const std::vector<PagePlan> plans = PlanSheet(0, photo, kDpi, Clean());
    ASSERT_EQ(plans.size(), 1u);
    EXPECT_EQ(plans[0].degrees, 0);
    EXPECT_EQ(plans[0].quarters, 0);
    EXPECT_FALSE(plans[0].skewMeasured);

    const GreyPicture upright = tools::ScanSheet(tools::TextPage(tools::SmallA4(4), 250, 11));
    const std::vector<PagePlan> sideways = PlanSheet(0, TurnQuarters(upright, 1), kDpi, Clean());
    ASSERT_EQ(sideways.size(), 1u);
    EXPECT_EQ(sideways[0].quarters, 3);
    EXPECT_EQ(sideways[0].degrees, 0);  // level once upright
}

PagePlan PlanOne(const GreyPicture& sheet) {
    const std::vector<PagePlan> plans = PlanSheet(0, sheet, kDpi, Clean());
    EXPECT_EQ(plans.size(), 1u);
    return plans.empty() ? PagePlan{} : plans[0];
}

// As real scans come: a corner left dim by the lamp (down to 45% of the light), with text in
// it, and a page number far below the text.
TEST(CleanupPlanTest, ADimCornerIsPaperAndAFarPageNumberIsContent) {
    tools::SheetOptions sheet;
    sheet.degrees = -2;
    sheet.grey = true;
    tools::BilevelPage page = tools::TextPage(tools::SmallA4(2), 300, 11);
    GreyPicture pixels = tools::ScanSheet(page, sheet);
    const PagePlan lit = PlanOne(pixels);
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) {
            const double away = std::hypot(x, y) / 900.0;
            std::uint8_t& pixel = pixels.pixels[static_cast<std::size_t>(y) * pixels.width + x];
            pixel = static_cast<std::uint8_t>(pixel * (away < 1 ? 0.45 + 0.55 * away : 1.0));
        }
    }
    const PagePlan dim = PlanOne(pixels);
    EXPECT_NEAR(dim.degrees, lit.degrees, 0.06);
    EXPECT_NEAR(dim.content.left, lit.content.left, 4);
    EXPECT_NEAR(dim.content.top, lit.content.top, 4);
    EXPECT_NEAR(dim.content.right, lit.content.right, 4);
    EXPECT_NEAR(dim.content.bottom, lit.content.bottom, 4);

    const int textBottom = tools::InkBox(page)[3];
    for (int y = 1650; y < 1664; ++y)
        for (int x = 600; x < 620; ++x)
            page.bits[static_cast<std::size_t>(y) * page.Stride() + x / 8] |= 0x80 >> (x % 8);
    const PagePlan numbered = PlanOne(tools::ScanSheet(page, sheet));
    EXPECT_GE(numbered.content.bottom - lit.content.bottom, 1664 - textBottom - 8);
}

// A faded print (grey letters on light paper) and an underexposed scan (black letters on dark
// grey paper), each inside a wide dark border: the border used to set where ink begins, so the
// faded letters were paper (the page cut to one table's rules) and the dim paper was ink (the
// page neither levelled nor cut).
TEST(CleanupPlanTest, FadedLettersAndADimScanInsideAWideBorderAreTheirText) {
    tools::SheetOptions sheet;
    sheet.degrees = 1.3;
    sheet.grey = true;
    sheet.border = 70;
    GreyPicture pixels = tools::ScanSheet(tools::TextPage(tools::SmallA4(4), 300, 11), sheet);
    const PagePlan lit = PlanOne(pixels);
    ASSERT_TRUE(lit.skewMeasured);
    const auto remapped = [&](auto level) {
        GreyPicture changed = pixels;
        for (int y = 0; y < changed.height; ++y) {
            for (int x = 0; x < changed.width; ++x) {
                const int edge = std::min({x, y, changed.width - 1 - x, changed.height - 1 - y});
                std::uint8_t& v = changed.pixels[static_cast<std::size_t>(y) * changed.width + x];
                v = static_cast<std::uint8_t>(edge < sheet.border ? v / 5 : level(v));
            }
        }
        return changed;
    };
    const GreyPicture faded = remapped([](int v) { return 130 + v * 105 / 255; });
    const GreyPicture dim = remapped([](int v) { return v * 60 / 255; });
    for (const GreyPicture* changed : {&faded, &dim}) {
        SCOPED_TRACE(changed == &faded ? "faded" : "dim");
        const PagePlan plan = PlanOne(*changed);
        EXPECT_TRUE(plan.skewMeasured);
        EXPECT_NEAR(plan.degrees, lit.degrees, 0.05);
        EXPECT_NEAR(plan.content.left, lit.content.left, 4);
        EXPECT_NEAR(plan.content.top, lit.content.top, 4);
        EXPECT_NEAR(plan.content.right, lit.content.right, 4);
        EXPECT_NEAR(plan.content.bottom, lit.content.bottom, 4);
    }
}

void Disc(tools::BilevelPage& page, int centreX, int centreY, int radius) {
    for (int y = centreY - radius; y <= centreY + radius; ++y)
        for (int x = centreX - radius; x <= centreX + radius; ++x)
            if ((x - centreX) * (x - centreX) + (y - centreY) * (y - centreY) <= radius * radius)
                page.bits[static_cast<std::size_t>(y) * page.Stride() + x / 8] |= 0x80 >> (x % 8);
}

void Fill(tools::BilevelPage& page, int left, int top, int right, int bottom) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            page.bits[static_cast<std::size_t>(y) * page.Stride() + x / 8] |= 0x80 >> (x % 8);
}

// Office papers come punched, and a sheet on a lid of another shade shows its own edge: under a
// dark lid the holes scan as black discs in the margin, and the paper's edge as a thin line a
// little way in from the sheet's edge. Either used to widen every page's crop to the sheet's
// edge and, through the shared size, the whole book's. A like blot well inside the sheet, and a
// printed frame that keeps a margin, are content.
TEST(CleanupPlanTest, HolesAndThePapersEdgeAreNotContentButPrintedMarksAre) {
    for (const bool grey : {false, true}) {
        SCOPED_TRACE(grey ? "grey" : "bilevel");
        tools::SheetOptions sheet;
        sheet.degrees = 1.3;
        sheet.grey = grey;
        const tools::BilevelPage text = tools::TextPage(tools::SmallA4(3), 300, 11);
        const PagePlan plain = PlanOne(tools::ScanSheet(text, sheet));

        tools::BilevelPage marked = text;
        // Holes 6 mm across, half an inch in from the left edge, and one at the foot.
        for (const int y : {400, 877, 1354})
            Disc(marked, 45, y, 18);
        Disc(marked, 620, 1700, 18);
        // The paper's edge along the top and the right, and a stretch of it along the foot.
        Fill(marked, 20, 14, 1220, 16);
        Fill(marked, 1218, 14, 1220, 1740);
        Fill(marked, 100, 1730, 1200, 1733);
        const PagePlan cleared = PlanOne(tools::ScanSheet(marked, sheet));
        EXPECT_NEAR(cleared.degrees, plain.degrees, 0.02);
        EXPECT_EQ(cleared.content, plain.content);

        // A scanner's dark border that stops a little short of the sheet's edge.
        tools::SheetOptions bordered = sheet;
        bordered.border = 40;
        GreyPicture inset = tools::ScanSheet(text, bordered);
        for (int y = 0; y < inset.height; ++y)
            for (int x = 0; x < inset.width; ++x)
                if (std::min({x, y, inset.width - 1 - x, inset.height - 1 - y}) < 6)
                    inset.pixels[static_cast<std::size_t>(y) * inset.width + x] = 250;
        const PagePlan inBorder = PlanOne(inset);
        EXPECT_NEAR(inBorder.content.left, plain.content.left, 2);
        EXPECT_NEAR(inBorder.content.top, plain.content.top, 2);
        EXPECT_NEAR(inBorder.content.right, plain.content.right, 2);
        EXPECT_NEAR(inBorder.content.bottom, plain.content.bottom, 2);

        tools::BilevelPage blotted = text;
        Disc(blotted, 620, 1300, 18);  // three inches from every edge
        const PagePlan blot = PlanOne(tools::ScanSheet(blotted, sheet));
        EXPECT_GT(blot.content.bottom, plain.content.bottom + 250);
        EXPECT_EQ(blot.content.left, plain.content.left);

        tools::BilevelPage framed = text;  // a frame 0.4 inch in from the sheet's edge
        Fill(framed, 60, 60, 1180, 62);
        Fill(framed, 60, 1692, 1180, 1694);
        Fill(framed, 60, 60, 62, 1694);
        Fill(framed, 1178, 60, 1180, 1694);
        const PagePlan frame = PlanOne(tools::ScanSheet(framed, sheet));
        EXPECT_LT(frame.content.left, plain.content.left - 80);
        EXPECT_GT(frame.content.bottom, plain.content.bottom + 650);
    }
}

}  // namespace
}  // namespace vellumark::imaging
