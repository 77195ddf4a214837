// Content boxes and folds on generated sheets whose truth is known: off-centre text with a dark
// scanner border, dust and a gutter shadow; spreads with and without a fold shadow, folded off
// centre and turned; single pages, also wide ones, that must not be split; dust cleared.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "imaging/cleanup/CleanupPlan.h"
#include "imaging/cleanup/InkMap.h"
#include "imaging/cleanup/PageRegions.h"
#include "imaging/cleanup/Skew.h"
#include "imaging/cleanup/Turn.h"
#include "tools/ScannedSheet.h"

namespace vellumark::imaging {
namespace {

using tools::BilevelPage;
using tools::SheetOptions;

PixelBox TruthOf(const BilevelPage& page) {
    const std::vector<int> box = tools::InkBox(page);
    return {box[0], box[1], box[2], box[3]};
}

double Overlap(const PixelBox& a, const PixelBox& b) {
    const PixelBox both{std::max(a.left, b.left), std::max(a.top, b.top),
                        std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (both.Empty())
        return 0;
    const double inner = static_cast<double>(both.Width()) * both.Height();
    const double area = static_cast<double>(a.Width()) * a.Height() +
                        static_cast<double>(b.Width()) * b.Height() - inner;
    return inner / area;
}

// The page's ink moved by (dx, dy), what falls off the page lost.
BilevelPage Moved(const BilevelPage& page, int dx, int dy) {
    BilevelPage moved = page;
    std::fill(moved.bits.begin(), moved.bits.end(), 0);
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x) {
            const int tx = x + dx, ty = y + dy;
            if (page.Black(x, y) && tx >= 0 && ty >= 0 && tx < page.width && ty < page.height)
                moved.SetBlack(tx, ty);
        }
    }
    return moved;
}

// Dust specks: single dots and pairs, where the test puts them.
void AddSpecks(GreyPicture& sheet, const std::vector<std::pair<int, int>>& at) {
    for (auto [x, y] : at) {
        for (int d = 0; d < 2; ++d)
            sheet.pixels[static_cast<std::size_t>(y) * sheet.width + x + d] = 0;
    }
}

// The content box found on the sheet, directly and as a book's page plan finds it on a smaller
// sample, overlaps `truth` by 97% or more and holds all of it.
void ExpectTheBoxHolds(const GreyPicture& sheet, const PixelBox& truth, const std::string& what) {
    CleanupOptions crop;
    crop.crop = true;
    for (const PixelBox& found :
         {FindContentBox(sheet, 300), PlanSheet(0, sheet, 300, crop).at(0).content}) {
        EXPECT_GE(Overlap(found, truth), 0.97) << what;
        EXPECT_LE(found.left, truth.left) << what;
        EXPECT_LE(found.top, truth.top) << what;
        EXPECT_GE(found.right, truth.right) << what;
        EXPECT_GE(found.bottom, truth.bottom) << what;
    }
}

TEST(ContentBoxTest, TheBoxHoldsAllTheTextAndNoBorderShadowOrSpeck) {
    tools::PageLayout layout;
    layout.margin = 250;
    const BilevelPage text = tools::TextPage(layout, 300);
    const struct {
        int dx, dy;
        bool grey;
        int border, shadow;
    } cases[] = {
        {0, 0, false, 0, 0},     {180, -120, false, 40, 0},  {-150, 200, true, 60, 0},
        {120, 90, true, 0, 160}, {-60, -40, false, 50, 200},
    };
    for (const auto& c : cases) {
        const BilevelPage page = Moved(text, c.dx, c.dy);
        SheetOptions options;
        options.grey = c.grey;
        options.border = c.border;
        options.gutterShadow = c.shadow;
        GreyPicture sheet = tools::ScanSheet(page, options);
        AddSpecks(sheet, {{150, 150}, {2300, 160}, {1200, 3400}, {90, 1700}});
        const PixelBox truth = TruthOf(page);
        // Found on the sheet itself, and as a book's page plan finds it, on a smaller sample.
        CleanupOptions crop;
        crop.crop = true;
        for (const PixelBox& found :
             {FindContentBox(sheet, 300), PlanSheet(0, sheet, 300, crop).at(0).content}) {
            const double overlap = Overlap(found, truth);
            std::printf("  moved %d,%d %s border %d shadow %d: IoU %.4f\n", c.dx, c.dy,
                        c.grey ? "grey" : "bilevel", c.border, c.shadow, overlap);
            EXPECT_GE(overlap, 0.97) << c.dx << "," << c.dy;
            // No ink of the content lost.
            EXPECT_LE(found.left, truth.left);
            EXPECT_LE(found.top, truth.top);
            EXPECT_GE(found.right, truth.right);
            EXPECT_GE(found.bottom, truth.bottom);
        }
    }
}

// The content box of a sheet with a shadow, found directly and through the page plan, holds the
// lines: up to a pixel of the letters' blurred edges, which the shadow makes as light as paper,
// may go. Nor does it take in the shadow's core.
void ExpectTheLinesAndNoShadow(const GreyPicture& sheet, const PixelBox& ink) {
    CleanupOptions crop;
    crop.crop = true;
    for (const PixelBox& found :
         {FindContentBox(sheet, 300), PlanSheet(0, sheet, 300, crop).at(0).content}) {
        EXPECT_GE(Overlap(found, ink), 0.97);
        for (const auto& [lost, grown] :
             {std::pair{found.left - ink.left, ink.left - found.left},
              std::pair{found.top - ink.top, ink.top - found.top},
              std::pair{ink.right - found.right, found.right - ink.right},
              std::pair{ink.bottom - found.bottom, found.bottom - ink.bottom}}) {
            EXPECT_LE(lost, 1);
            EXPECT_LE(grown, 20);
        }
    }
}

// A book pressed flat on the glass: an inch of shadow deepening evenly to a quarter of the
// paper at the fold, with the ends of the lines a third of an inch from it, on the shadow's lit
// side. The ends of the lines are content; the shadow is not.
TEST(ContentBoxTest, LinesRunningIntoAFoldsShadowAreKeptWhole) {
    tools::PageLayout layout;
    layout.margin = 250;
    const BilevelPage page = Moved(tools::TextPage(layout, 300), 145, 0);
    const PixelBox truth = TruthOf(page);
    SheetOptions options;
    options.grey = true;
    GreyPicture right = tools::ScanSheet(page, options);
    constexpr int kShadow = 300;
    for (int y = 0; y < right.height; ++y) {
        for (int x = right.width - kShadow; x < right.width; ++x) {
            std::uint8_t& v = right.pixels[static_cast<std::size_t>(y) * right.width + x];
            v = static_cast<std::uint8_t>(v * (0.25 + 0.75 * (right.width - 1 - x) / kShadow));
        }
    }
    // The same page facing the other way: its fold on the left.
    GreyPicture left = right;
    for (int y = 0; y < left.height; ++y) {
        auto row = left.pixels.begin() + static_cast<std::ptrdiff_t>(y) * left.width;
        std::reverse(row, row + left.width);
    }
    const GreyPicture& facing = left;
    const PixelBox mirrored{page.width - truth.right, truth.top, page.width - truth.left,
                            truth.bottom};
    ExpectTheLinesAndNoShadow(right, truth);
    ExpectTheLinesAndNoShadow(facing, mirrored);
}

// A book's edge lifted off the glass: an inch of shadow deepening to a quarter of the paper at the
// top (and, turned over, at the bottom), with the first line a third of an inch from the edge,
// in the shadow's lit half. The line is content; the shadow is not.
TEST(ContentBoxTest, TheFirstLineUnderALiftedEdgesShadowIsKept) {
    tools::PageLayout layout;
    layout.margin = 250;
    const BilevelPage page = Moved(tools::TextPage(layout, 300), 0, -150);
    const PixelBox truth = TruthOf(page);
    SheetOptions options;
    options.grey = true;
    GreyPicture top = tools::ScanSheet(page, options);
    constexpr int kShadow = 300;
    for (int y = 0; y < kShadow; ++y) {
        for (int x = 0; x < top.width; ++x) {
            std::uint8_t& v = top.pixels[static_cast<std::size_t>(y) * top.width + x];
            v = static_cast<std::uint8_t>(v * (0.25 + 0.75 * y / kShadow));
        }
    }
    GreyPicture bottom = top;
    for (int y = 0; y < bottom.height / 2; ++y) {
        std::swap_ranges(bottom.pixels.begin() + static_cast<std::ptrdiff_t>(y) * bottom.width,
                         bottom.pixels.begin() + static_cast<std::ptrdiff_t>(y + 1) * bottom.width,
                         bottom.pixels.begin() +
                             static_cast<std::ptrdiff_t>(bottom.height - 1 - y) * bottom.width);
    }
    const PixelBox turnedOver{truth.left, page.height - truth.bottom, truth.right,
                              page.height - truth.top};
    ExpectTheLinesAndNoShadow(top, truth);
    ExpectTheLinesAndNoShadow(bottom, turnedOver);
}

// Beside a shadow: a picture and a table's frame the shadow reaches stay, binder holes in it go. A
// photograph darkening towards the edge without reaching it is no shadow, and stays whole.
TEST(ContentBoxTest, APictureInAShadowStaysAndBinderHolesGo) {
    tools::PageLayout layout;
    layout.margin = 250;
    BilevelPage page = tools::TextPage(layout, 200);
    const PixelBox text = TruthOf(page);
    const PixelBox picture{200, text.bottom + 100, 900, text.bottom + 500};
    for (int y = picture.top; y < picture.bottom; ++y)
        for (int x = picture.left; x < picture.right; ++x)
            page.SetBlack(x, y);
    // And a table's frame below it, of rules 4 pixels wide.
    const PixelBox frame{200, picture.bottom + 100, 1200, picture.bottom + 400};
    for (int y = frame.top; y < frame.bottom; ++y)
        for (int x = frame.left; x < frame.right; ++x)
            if (y < frame.top + 4 || y >= frame.bottom - 4 || x < frame.left + 4 ||
                x >= frame.right - 4)
                page.SetBlack(x, y);
    SheetOptions options;
    options.grey = true;
    GreyPicture sheet = tools::ScanSheet(page, options);
    const auto at = [&](int x, int y) -> std::uint8_t& {
        return sheet.pixels[static_cast<std::size_t>(y) * sheet.width + x];
    };
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < 330; ++x)
            at(x, y) = static_cast<std::uint8_t>(at(x, y) * (0.3 + 0.7 * x / 330));
        for (const int hole : {800, 2400})  // 5 mm holes, half an inch in
            for (int x = 120; x < 180; ++x)
                if (std::hypot(x - 150, y - hole) < 30)
                    at(x, y) = 30;
    }
    CleanupOptions crop;
    crop.crop = true;
    for (const PixelBox& found :
         {FindContentBox(sheet, 300), PlanSheet(0, sheet, 300, crop).at(0).content}) {
        EXPECT_GE(found.bottom, frame.bottom);
        EXPECT_LE(found.left, picture.left);
        EXPECT_GE(found.left, picture.left - 20);
    }

    // A plate darkening from 150 to 40 over its left two inches, 0.4 inch in.
    GreyPicture plate{2480, 3508, std::vector<std::uint8_t>(2480u * 3508u, 245)};
    const PixelBox photo{120, 150, 2360, 3400};
    std::mt19937 random(3);
    std::uniform_int_distribution<int> texture(-25, 25);
    for (int y = photo.top; y < photo.bottom; ++y) {
        for (int x = photo.left; x < photo.right; ++x) {
            const double light = 40 + 110 * std::min(1.0, (x - photo.left) / 600.0);
            plate.pixels[static_cast<std::size_t>(y) * plate.width + x] =
                static_cast<std::uint8_t>(std::clamp(light + texture(random), 0.0, 255.0));
        }
    }
    for (const PixelBox& found :
         {FindContentBox(plate, 300), PlanSheet(0, plate, 300, crop).at(0).content}) {
        EXPECT_LE(found.left, photo.left);
        EXPECT_GE(found.right, photo.right);
    }
}

// A sheet turned by another program before it came here, its dark scanner border inside the
// light wedges the turn filled in: the border is left out, also where a gutter's shadow or a
// lifted edge's shadow runs into it.
TEST(ContentBoxTest, ABorderInsideATurnsLightWedgesIsLeftOut) {
    tools::PageLayout layout;
    layout.margin = 250;
    const BilevelPage page = tools::TextPage(layout, 300);
    constexpr int kWedge = 45;  // a quarter of a degree across an A4 sheet at 300 dpi
    constexpr int kBorder = 60;
    const PixelBox text = TruthOf(page);
    const int in = kWedge + kBorder;
    const PixelBox truth{text.left + in, text.top + in, text.right + in, text.bottom + in};
    for (const char* shadow : {"none", "gutter", "bottom"}) {
        SheetOptions options;
        options.grey = true;
        options.gutterShadow = shadow == std::string("gutter") ? 220 : 0;
        GreyPicture scanned = tools::ScanSheet(page, options);
        if (shadow == std::string("bottom")) {  // an inch, to a fifth of the paper at the edge
            for (int y = scanned.height - 300; y < scanned.height; ++y) {
                const double depth = 0.2 + 0.8 * (scanned.height - 1 - y) / 300.0;
                for (int x = 0; x < scanned.width; ++x) {
                    std::uint8_t& v =
                        scanned.pixels[static_cast<std::size_t>(y) * scanned.width + x];
                    v = static_cast<std::uint8_t>(v * depth);
                }
            }
        }
        GreyPicture sheet{scanned.width + 2 * in, scanned.height + 2 * in, {}};
        sheet.pixels.assign(static_cast<std::size_t>(sheet.width) * sheet.height, 230);
        for (int y = kWedge; y < sheet.height - kWedge; ++y) {
            std::fill_n(
                sheet.pixels.begin() + static_cast<std::ptrdiff_t>(y) * sheet.width + kWedge,
                sheet.width - 2 * kWedge, 31);
        }
        for (int y = 0; y < scanned.height; ++y) {
            std::copy_n(
                scanned.pixels.begin() + static_cast<std::ptrdiff_t>(y) * scanned.width,
                scanned.width,
                sheet.pixels.begin() + static_cast<std::ptrdiff_t>(y + in) * sheet.width + in);
        }
        ExpectTheBoxHolds(sheet, truth, shadow);
    }
}

// A printed frame of thick rules a fifth of an inch from the paper's edges is content and stays:
// a scanner's border is thicker. (A hairline there is taken for the paper's own edge.)
TEST(ContentBoxTest, APrintedFrameNearTheEdgesStays) {
    tools::PageLayout layout;
    layout.margin = 250;
    for (const int weight : {16, 24}) {
        BilevelPage page = tools::TextPage(layout, 300);
        const PixelBox frame{60, 60, page.width - 60, page.height - 60};
        for (int y = frame.top; y < frame.bottom; ++y) {
            for (int x = frame.left; x < frame.right; ++x) {
                const bool rule = x < frame.left + weight || x >= frame.right - weight ||
                                  y < frame.top + weight || y >= frame.bottom - weight;
                if (rule)
                    page.SetBlack(x, y);
            }
        }
        SheetOptions options;
        options.grey = true;
        ExpectTheBoxHolds(tools::ScanSheet(page, options), frame, std::to_string(weight));
    }
}

TEST(ContentBoxTest, ABlankPageHasNoContent) {
    GreyPicture blank{400, 600, std::vector<std::uint8_t>(400 * 600, 250)};
    EXPECT_TRUE(FindContentBox(blank, 100).Empty());
}

// Dirt on the glass scans as dots a millimetre across, which alone in a margin are not content;
// a page number, a dotted leader in the margin and the full stops among the text are.
TEST(ContentBoxTest, DirtInTheMarginIsLeftOutAndSmallPrintKept) {
    tools::PageLayout layout;
    layout.margin = 400;
    BilevelPage page = tools::TextPage(layout, 300);
    const PixelBox text = TruthOf(page);
    const auto blot = [](BilevelPage& on, int left, int top, int width, int height) {
        for (int y = top; y < top + height; ++y)
            for (int x = left; x < left + width; ++x)
                on.SetBlack(x, y);
    };
    // A page number 0.1 inch tall, 0.4 inch below the text.
    blot(page, (text.left + text.right) / 2, text.bottom + 120, 18, 30);
    // A leader of dots 0.03 inch across, 0.1 inch apart, half an inch right of the text.
    for (int i = 0; i < 6; ++i)
        blot(page, text.right + 150 + 30 * i, text.top + 200, 9, 9);
    const PixelBox truth = TruthOf(page);
    const std::vector<std::pair<int, int>> dirt = {
        {100, 1000}, {2350, 2000}, {1200, 150}, {630, 3380}, {2300, 3300}};
    for (const bool grey : {false, true}) {
        SheetOptions options;
        options.grey = grey;
        GreyPicture sheet = tools::ScanSheet(page, options);
        for (const auto& [left, top] : dirt)  // 1 mm, and where they fall on the grid varies
            for (int y = top; y < top + 12; ++y)
                for (int x = left; x < left + 12 + (left % 3); ++x)
                    sheet.pixels[std::size_t(y) * sheet.width + x] = 20;
        ExpectTheBoxHolds(sheet, truth, grey ? "grey" : "bilevel");
    }
}

// A dusty glass: some four hundred round specks 4 to 14 pixels across (at 300 dpi), scattered
// over the whole sheet, margins and all, some of them run together, are left out of the box; a
// stipple picture in the margin of the same sheet is content and stays in it, and so do page
// numbers far from the text.
TEST(ContentBoxTest, DustOverTheWholeSheetIsLeftOutAndAStippleAndPageNumbersKept) {
    tools::PageLayout layout;
    layout.margin = 350;
    const BilevelPage text = tools::TextPage(layout, 300);
    const PixelBox above = TruthOf(text);
    // Page numbers of 9 point type, alone: one centred an inch and a half below the text, one at
    // its outer corner above it.
    const int size = 48;  // the words' boxes
    const BilevelPage folios = tools::RenderWords(
        {{"217", (above.left + above.right) / 2 - 40, above.bottom + 450, 80, size},
         {"9", above.right - 25, above.top - 170, 25, size}},
        text.width, text.height, 1);
    for (const char* extra : {"", "stipple", "page numbers"}) {
        BilevelPage page = text;
        if (extra == std::string("stipple")) {  // dots 0.03 inch across, 0.06 inch apart
            for (int y = above.bottom + 150; y < above.bottom + 360; y += 18)
                for (int x = above.left + 200; x < above.left + 500; x += 18)
                    for (int v = 0; v < 9; ++v)
                        for (int u = 0; u < 9; ++u)
                            page.SetBlack(x + u, y + v);
        } else if (*extra != '\0') {
            for (std::size_t i = 0; i < page.bits.size(); ++i)
                page.bits[i] |= folios.bits[i];
        }
        const bool stipple = extra == std::string("stipple");
        const PixelBox truth = TruthOf(page);
        for (const bool grey : {false, true}) {
            SheetOptions options;
            options.grey = grey;
            GreyPicture sheet = tools::ScanSheet(page, options);
            std::mt19937 random(7);
            for (int i = 0; i < 400; ++i) {
                const int cx = static_cast<int>(random() % sheet.width);
                const int cy = static_cast<int>(random() % sheet.height);
                const int r = 2 + static_cast<int>(random() % 6);
                for (int y = std::max(0, cy - r); y <= std::min(sheet.height - 1, cy + r); ++y)
                    for (int x = std::max(0, cx - r); x <= std::min(sheet.width - 1, cx + r); ++x)
                        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                            sheet.pixels[std::size_t(y) * sheet.width + x] = 20;
            }
            CleanupOptions crop;
            crop.crop = true;
            for (const PixelBox& found :
                 {FindContentBox(sheet, 300), PlanSheet(0, sheet, 300, crop).at(0).content}) {
                const double overlap = Overlap(found, truth);
                std::printf("  %s %s: IoU %.4f\n", extra, grey ? "grey" : "bilevel", overlap);
                // A speck that falls within a tenth of an inch of the picture is taken for one of
                // its dots.
                EXPECT_GE(overlap, stipple ? 0.96 : 0.97) << extra << " " << grey;
                EXPECT_LE(found.left, truth.left);
                EXPECT_LE(found.top, truth.top);
                EXPECT_GE(found.right, truth.right);
                EXPECT_GE(found.bottom, truth.bottom);
            }
        }
    }
}

// A fold's shadow: columns darkened towards the fold.
void ShadeFold(GreyPicture& sheet, int fold, int halfWidth) {
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = std::max(0, fold - halfWidth); x < std::min(sheet.width, fold + halfWidth);
             ++x) {
            const double depth = 1.0 - std::abs(x - fold) / static_cast<double>(halfWidth);
            std::uint8_t& v = sheet.pixels[static_cast<std::size_t>(y) * sheet.width + x];
            v = static_cast<std::uint8_t>(v * (1.0 - 0.85 * depth * depth));
        }
    }
}

TEST(FoldTest, SpreadsAreFoldedWithinOnePercentOfTheirWidth) {
    tools::PageLayout layout = tools::SmallA4();
    const BilevelPage left = tools::TextPage(layout, 250, 11);
    layout.seed = 2;
    layout.width = 1100;  // a narrower right page: the fold is off centre
    const BilevelPage right = tools::TextPage(layout, 250, 11);
    const BilevelPage spread = tools::Spread(left, right, 0);
    const int fold = left.width;
    const struct {
        double degrees;
        bool shadow, grey;
    } cases[] = {{0, false, false}, {0, true, true}, {1.5, true, false}, {-2.5, false, true}};
    for (const auto& c : cases) {
        SheetOptions options;
        options.degrees = c.degrees;
        options.grey = c.grey;
        GreyPicture sheet = tools::ScanSheet(spread, options);
        if (c.shadow)
            ShadeFold(sheet, fold, 40);
        // A turned spread is levelled first; its fold then lies where the centre line took it.
        double truth = fold;
        if (c.degrees != 0) {
            const SkewEstimate skew = MeasureSkew(sheet, 150);
            ASSERT_TRUE(skew.confident);
            const GreyPicture level = Turn(sheet, -skew.degrees, !c.grey);
            truth = (fold - sheet.width / 2.0) * std::cos(c.degrees * 3.14159265 / 180) +
                    level.width / 2.0;
            sheet = level;
        }
        const std::optional<int> found = FindFold(sheet, 150);
        ASSERT_TRUE(found.has_value()) << c.degrees;
        std::printf("  turned %.1f %s%s: fold %d, truth %.0f\n", c.degrees,
                    c.shadow ? "shadow " : "", c.grey ? "grey" : "bilevel", *found, truth);
        EXPECT_LE(std::abs(*found - truth), 0.01 * sheet.width) << c.degrees;
    }
}

TEST(FoldTest, SinglePagesAreNotSplit) {
    tools::PageLayout layout;
    layout.width = 1754;  // landscape: one wide page
    layout.height = 1240;
    layout.dpi = 150;
    layout.margin = 120;
    EXPECT_FALSE(FindFold(tools::ScanSheet(tools::TextPage(layout, 300, 11)), 150));

    // A page with a sliver of the next one beside it.
    layout.width = 1240;
    layout.height = 1754;
    const BilevelPage page = tools::TextPage(layout, 250, 11);
    layout.width = 500;
    layout.seed = 3;
    const BilevelPage sliver = tools::TextPage(layout, 250, 11);
    BilevelPage both = tools::Spread(page, sliver, 0);
    EXPECT_FALSE(FindFold(tools::ScanSheet(both), 150));
    // Portrait sheets are single pages.
    EXPECT_FALSE(FindFold(tools::ScanSheet(page), 150));
}

TEST(DespeckleTest, DustGoesAndEveryLetterStays) {
    tools::PageLayout layout;
    const GreyPicture clean = tools::ScanSheet(tools::TextPage(layout, 300));
    layout.specks = 400;
    GreyPicture dusty = tools::ScanSheet(tools::TextPage(layout, 300));
    const auto differing = [&] {
        int count = 0;
        for (std::size_t i = 0; i < clean.pixels.size(); ++i)
            count += clean.pixels[i] != dusty.pixels[i] ? 1 : 0;
        return count;
    };
    ASSERT_GT(differing(), 900);
    EXPECT_GE(Despeckle(dusty, 8), 300);  // some fell on letters, beside them or on each other
    // Only specks that fell on or right beside letters are left.
    EXPECT_LT(differing(), 200);
    const GreyPicture before = dusty;
    EXPECT_EQ(Despeckle(dusty, 8), 0);
    EXPECT_EQ(dusty.pixels, before.pixels);
}

// A page of bits loses the same specks as the same page in grey, whatever the width (runs
// that start, stop or go on at 64-pixel word edges and at the row's end).
TEST(DespeckleTest, BitsLoseWhatGreyLoses) {
    std::mt19937 random(3);
    for (const int width : {1, 5, 63, 64, 65, 128, 130, 200}) {
        for (int round = 0; round < 10; ++round) {
            const int height = 1 + static_cast<int>(random() % 9);
            GreyPicture grey{width, height, std::vector<std::uint8_t>(std::size_t(width) * height)};
            std::size_t at = 0;
            while (at < grey.pixels.size()) {
                // Short runs of ink make specks; long ones join them into pieces that stay.
                const std::size_t run = 1 + random() % (round % 2 == 0 ? 4 : 70);
                const std::uint8_t level = random() % 3 == 0 ? 0 : 255;
                for (std::size_t i = 0; i < run && at < grey.pixels.size(); ++i)
                    grey.pixels[at++] = level;
            }
            BitPicture bits(width, height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    if (grey.pixels[std::size_t(y) * width + x] == 0)
                        bits.Row(y)[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            const int cleared = Despeckle(grey, 5);
            ASSERT_EQ(Despeckle(bits, 5), cleared) << width << "x" << height << ", " << round;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width + 64; ++x) {  // and past the row's end, clear
                    const bool ink = (bits.Row(y)[x / 8] >> (7 - x % 8)) & 1;
                    ASSERT_EQ(ink, x < width && grey.pixels[std::size_t(y) * width + x] == 0)
                        << width << "x" << height << ", " << round << " at " << x << "," << y;
                }
            }
        }
    }
}

// The dots of a halftone picture's highlights, as small as dust, are a picture and stay; a speck
// alone on the paper beside it goes, on a page of bits as on a grey one.
TEST(DespeckleTest, AHalftoneStaysAndALoneSpeckGoes) {
    const int width = 120, height = 80;
    GreyPicture grey{width, height, std::vector<std::uint8_t>(std::size_t(width) * height, 255)};
    BitPicture bits(width, height);
    const auto ink = [&](int x, int y) {
        grey.pixels[std::size_t(y) * width + x] = 0;
        bits.Row(y)[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    };
    for (int y = 10; y < 70; y += 4)  // 75 lines an inch at 300 dpi
        for (int x = 10; x < 70; x += 4)
            ink(x + (y / 4) % 2 * 2, y);
    ink(100, 40);
    ink(101, 40);
    const GreyPicture before = grey;
    EXPECT_EQ(Despeckle(grey, 8), 1);
    EXPECT_EQ(Despeckle(bits, 8), 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = std::size_t(y) * width + x;
            const bool kept = x < 100 && before.pixels[i] == 0;
            ASSERT_EQ(grey.pixels[i] == 0, kept) << x << "," << y;
            ASSERT_EQ(((bits.Row(y)[x / 8] >> (7 - x % 8)) & 1) == 1, kept) << x << "," << y;
        }
    }
}

// Each shrunk pixel is the darkest of the block it covers, also the short blocks at the right
// and bottom edges.
TEST(ShrinkKeepingInkTest, EachPixelIsTheDarkestOfItsBlock) {
    std::mt19937 random(5);
    for (const auto [width, height, factor] :
         {std::array{37, 23, 2}, std::array{64, 64, 4}, std::array{101, 7, 3}, std::array{9, 9, 1},
          std::array{5, 3, 8}}) {
        GreyPicture page{width, height, std::vector<std::uint8_t>(std::size_t(width) * height)};
        for (auto& pixel : page.pixels)
            pixel = static_cast<std::uint8_t>(random());
        const GreyPicture shrunk = ShrinkKeepingInk(page, factor);
        ASSERT_EQ(shrunk.width, (width + factor - 1) / factor);
        ASSERT_EQ(shrunk.height, (height + factor - 1) / factor);
        for (int y = 0; y < shrunk.height; ++y) {
            for (int x = 0; x < shrunk.width; ++x) {
                std::uint8_t darkest = 255;
                for (int v = y * factor; v < std::min(height, (y + 1) * factor); ++v)
                    for (int u = x * factor; u < std::min(width, (x + 1) * factor); ++u)
                        darkest = std::min(darkest, page.pixels[std::size_t(v) * width + u]);
                ASSERT_EQ(shrunk.pixels[std::size_t(y) * shrunk.width + x], darkest)
                    << width << "x" << height << " by " << factor << " at " << x << "," << y;
            }
        }
    }
}

// The pieces are those a plain flood fill finds, on maps whose runs of ink and paper start and
// end anywhere within and across eight-cell words, reach both edges, and touch only diagonally.
TEST(FindInkPiecesTest, PiecesAreThoseAFloodFillFinds) {
    std::mt19937 random(11);
    for (const int width : {1, 7, 8, 9, 23, 64, 67}) {
        for (int round = 0; round < 20; ++round) {
            const int height = 1 + static_cast<int>(random() % 12);
            // Runs of random length, ink more often in some rounds than in others.
            GreyPicture page{width, height, std::vector<std::uint8_t>(std::size_t(width) * height)};
            const unsigned inkOdds = 1 + round % 3;
            std::size_t at = 0;
            while (at < page.pixels.size()) {
                const std::size_t run = 1 + random() % 20;
                const std::uint8_t grey = random() % 4 < inkOdds ? 0 : 255;
                for (std::size_t i = 0; i < run && at < page.pixels.size(); ++i)
                    page.pixels[at++] = grey;
            }
            std::vector<std::array<int, 5>> expected;  // left, top, right, bottom, area
            std::vector<bool> seen(page.pixels.size());
            const auto ink = [&](int x, int y) {
                return x >= 0 && y >= 0 && x < width && y < height &&
                       page.pixels[std::size_t(y) * width + x] == 0;
            };
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    if (!ink(x, y) || seen[std::size_t(y) * width + x])
                        continue;
                    std::array<int, 5> piece{x, y, x + 1, y + 1, 0};
                    std::vector<std::pair<int, int>> stack{{x, y}};
                    seen[std::size_t(y) * width + x] = true;
                    while (!stack.empty()) {
                        const auto [u, v] = stack.back();
                        stack.pop_back();
                        piece = {std::min(piece[0], u), std::min(piece[1], v),
                                 std::max(piece[2], u + 1), std::max(piece[3], v + 1),
                                 piece[4] + 1};
                        for (int dv = -1; dv <= 1; ++dv) {
                            for (int du = -1; du <= 1; ++du) {
                                if (ink(u + du, v + dv) &&
                                    !seen[std::size_t(v + dv) * width + u + du]) {
                                    seen[std::size_t(v + dv) * width + u + du] = true;
                                    stack.push_back({u + du, v + dv});
                                }
                            }
                        }
                    }
                    expected.push_back(piece);
                }
            }
            std::vector<std::array<int, 5>> found;
            for (const InkPiece& piece : FindInkPieces(ReduceToInk(page, 1, 128)))
                found.push_back(
                    {piece.box.left, piece.box.top, piece.box.right, piece.box.bottom, piece.area});
            std::sort(expected.begin(), expected.end());
            std::sort(found.begin(), found.end());
            ASSERT_EQ(found, expected) << width << "x" << height << ", round " << round;
        }
    }
}

// Paper in shadow comes out white with its ink still dark, relative to the paper around it;
// white paper and a wide dark border are left byte for byte, also in the short blocks at the
// right and bottom edges.
TEST(EvenlyLitTest, DimPaperIsWhiteAgainAndTheRestIsLeftAlone) {
    // At 75 dpi paper is sought in blocks of 30 pixels; neither side is whole blocks.
    const int width = 203, height = 97;
    GreyPicture page{width, height, std::vector<std::uint8_t>(std::size_t(width) * height)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int paper = x < 100 ? 255 : 160;  // the right half in shadow
            const bool ink = x % 7 == 3 && y % 5 < 2;
            page.pixels[std::size_t(y) * width + x] = static_cast<std::uint8_t>(y >= 60 ? 20
                                                                                : ink   ? paper / 4
                                                                                        : paper);
        }
    }
    const GreyPicture lit = EvenlyLit(page, 75);
    ASSERT_EQ(lit.width, width);
    ASSERT_EQ(lit.height, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = std::size_t(y) * width + x;
            if (x < 60 || y >= 90) {
                ASSERT_EQ(lit.pixels[i], page.pixels[i]) << x << "," << y;
            } else if (x >= 150 && y < 30) {
                // Where no white paper is near: the shadow's paper white, its ink as dark as
                // ink on white is.
                ASSERT_EQ(lit.pixels[i], page.pixels[i] == 160 ? 255 : 63) << x << "," << y;
            }
        }
    }
}
}  // namespace
}  // namespace vellumark::imaging
