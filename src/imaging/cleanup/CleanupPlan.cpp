#include "imaging/cleanup/CleanupPlan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

#include "imaging/cleanup/LineShape.h"
#include "imaging/cleanup/PageRegions.h"
#include "imaging/cleanup/Skew.h"
#include "imaging/cleanup/Turn.h"
#include "imaging/text/Ocr.h"

namespace vellumark::imaging {
namespace {

// A page measured within this of level is left as it is: turning it would only soften it.
constexpr double kLevelEnough = 0.015;
constexpr int kLevelledShrink = 2;

PixelBox Grown(const PixelBox& box, int by, const PixelBox& within) {
    return {std::max(box.left - by, within.left), std::max(box.top - by, within.top),
            std::min(box.right + by, within.right), std::min(box.bottom + by, within.bottom)};
}

PixelBox Moved(const PixelBox& box, int dx, int dy) {
    return {box.left + dx, box.top + dy, box.right + dx, box.bottom + dy};
}

// A box of a shrunk and levelled copy, in the levelled sheet's own pixels: both canvases share
// their centre. Rounded outwards, and by a pixel more for the shrinking's rounding, so that no
// ink is left out.
PixelBox Enlarged(const PixelBox& box, const PixelBox& small, const PixelBox& full) {
    const double sx = static_cast<double>(full.Width()) / std::max(small.Width(), 1);
    const double sy = static_cast<double>(full.Height()) / std::max(small.Height(), 1);
    const auto x = [&](int at, bool up) {
        const double v = (at - small.Width() / 2.0) * sx + full.Width() / 2.0;
        return static_cast<int>(up ? std::ceil(v) + 1 : std::floor(v) - 1);
    };
    const auto y = [&](int at, bool up) {
        const double v = (at - small.Height() / 2.0) * sy + full.Height() / 2.0;
        return static_cast<int>(up ? std::ceil(v) + 1 : std::floor(v) - 1);
    };
    return {std::max(x(box.left, false), 0), std::max(y(box.top, false), 0),
            std::min(x(box.right, true), full.right), std::min(y(box.bottom, true), full.bottom)};
}

// A point of a canvas levelled by `from` degrees, in the canvas levelled by `to` degrees
// instead: both canvases share their centre.
struct Spot {
    double x = 0, y = 0;
};
Spot Relevelled(Spot at, const PixelBox& fromCanvas, double from, const PixelBox& toCanvas,
                double to) {
    const double angle = (to - from) * std::numbers::pi / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    const double x = at.x - fromCanvas.Width() / 2.0, y = at.y - fromCanvas.Height() / 2.0;
    return {c * x - s * y + toCanvas.Width() / 2.0, s * x + c * y + toCanvas.Height() / 2.0};
}

// The skew of each page of a sheet split at `fold` (in the canvas levelled by `degrees`, at
// `levelledScale` of the sample's pixels): facing pages of an open book seldom lie at one angle.
// Each side is measured on the unturned sample, leaving out a band around the fold as far as
// the turn slants it.
std::pair<SkewEstimate, SkewEstimate> SkewOfSides(const GreyPicture& sample, double dpi,
                                                  double degrees, int fold,
                                                  const PixelBox& levelled, int levelledScale) {
    const PixelBox canvas{0, 0, sample.width, sample.height};
    const Spot middle = Relevelled(
        {static_cast<double>(fold * levelledScale), levelled.Height() * levelledScale / 2.0},
        {0, 0, levelled.Width() * levelledScale, levelled.Height() * levelledScale}, degrees,
        canvas, 0);
    const double slant =
        sample.height / 2.0 * std::abs(std::tan(degrees * std::numbers::pi / 180.0)) + 2;
    const int leftEnd = std::clamp(static_cast<int>(std::floor(middle.x - slant)), 0, sample.width);
    const int rightBegin =
        std::clamp(static_cast<int>(std::ceil(middle.x + slant)), 0, sample.width);
    const auto measure = [&](int from, int to) {
        return to - from < sample.width / 5
                   ? SkewEstimate{}
                   : MeasureSkew(Cut(sample, {from, 0, to, sample.height}), dpi);
    };
    return {measure(0, leftEnd), measure(rightBegin, sample.width)};
}

// The degrees a page is levelled by, from its measured skew.
double LevelBy(const SkewEstimate& skew) {
    return skew.confident && std::abs(skew.degrees) >= kLevelEnough ? -skew.degrees : 0;
}

// How the sheet turns upright. The letters of a band across its middle tell as surely as the
// whole sheet's, at a third of the cost; the whole is looked at only when the band cannot tell
// (a page whose text is elsewhere).
std::optional<UprightTurn> FindUpright(const GreyPicture& sheet, double dpi) {
    const int band = sheet.height / 3;
    if (band >= dpi) {
        const PixelBox middle{0, band, sheet.width, 2 * band};
        const std::optional<UprightTurn> found =
            DetectUpright(Cut(sheet, middle), static_cast<int>(dpi));
        if (found && found->confidence >= kConfidentUpright)
            return found;
    }
    return DetectUpright(sheet, static_cast<int>(dpi));
}

// Text lines found level (or nearly), whose letters rise above their middle band far more than
// they hang below it.
bool LooksUpright(const GreyPicture& sheet, const SkewEstimate& skew) {
    if (!skew.confident)
        return false;
    return AscenderRatio(sheet, skew.degrees) >= kUprightAscenders;
}

// Content this many times the typical text page's is a plate or a fold-out.
constexpr double kFarLarger = 1.25;
// Content this much larger than most pages' is as large as theirs, measured a little apart.
constexpr double kAlmost = 1.02;

// The middle one of values (not empty).
double MedianOf(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

}  // namespace

double DpiOr300(double dpi) {
    return dpi > 0 ? dpi : 300;
}

int SampleFactor(double dpi) {
    return std::max(1, static_cast<int>(DpiOr300(dpi) / 150));
}

SheetSample SampleOf(const GreyPicture& pixels, double dpi) {
    const int factor = SampleFactor(dpi);
    return {factor == 1 ? pixels : Shrink(pixels, factor), factor, pixels.width, pixels.height,
            dpi};
}

std::vector<PagePlan> PlanSheet(int sheet, const GreyPicture& pixels, double dpi,
                                const CleanupOptions& options) {
    return PlanSheet(sheet, SampleOf(pixels, dpi), options);
}

std::vector<PagePlan> PlanSheet(int sheet, const SheetSample& sample,
                                const CleanupOptions& options) {
    PagePlan plan;
    plan.sheet = sheet;
    double smallDpi = DpiOr300(sample.dpi) / sample.factor;
    int width = sample.width, height = sample.height;
    GreyPicture turned;
    const GreyPicture* small = &sample.pixels;
    SkewEstimate skew = MeasureSkew(*small, smallDpi);
    // Tesseract is asked only about pages whose lines do not plainly read the right way up: it
    // costs more than all the rest of clean-up together.
    if (options.upright && !LooksUpright(*small, skew)) {
        const std::optional<UprightTurn> upright = FindUpright(*small, smallDpi);
        // A guess is checked by its letters' ascenders, which tell for Latin script only
        // (Cyrillic and Greek letters hang below their lines more than they rise above them).
        const bool sure = upright && upright->confidence >= kConfidentUpright;
        const bool guess = upright && upright->confidence >= kGuessedUpright && upright->latin;
        if (upright && upright->quarters != 0 && (sure || guess)) {
            GreyPicture candidate = TurnQuarters(*small, upright->quarters);
            const SkewEstimate candidateSkew = MeasureSkew(candidate, smallDpi);
            // A guess is taken only where the page it makes plainly reads the right way up.
            if (sure || LooksUpright(candidate, candidateSkew)) {
                plan.quarters = upright->quarters;
                turned = std::move(candidate);
                small = &turned;
                if (plan.quarters % 2 != 0)
                    std::swap(width, height);
                skew = candidateSkew;
            }
        }
    }
    if (options.deskew || options.crop || options.splitSpreads) {
        plan.skewMeasured = skew.confident;
        plan.skew = skew.degrees;
        if (options.deskew)
            plan.degrees = LevelBy(skew);
    }
    const PixelBox whole = TurnedBounds(width, height, plan.degrees);
    if (!options.crop && !options.splitSpreads) {
        plan.area = whole;
        return {plan};
    }
    // Content and folds are found at half the sample's resolution, which places them to a few
    // of the sheet's pixels (the boxes are rounded outwards) at a quarter of the cost. The light
    // is evened out before the turn, whose corners are paper.
    const GreyPicture& measured = *small;
    const GreyPicture evenLit =
        EvenlyLit(ShrinkKeepingInk(measured, kLevelledShrink), smallDpi / kLevelledShrink);
    GreyPicture levelled = plan.degrees != 0 ? Turn(evenLit, plan.degrees, false) : evenLit;
    const double levelledDpi = smallDpi / kLevelledShrink;
    const PixelBox smallWhole{0, 0, levelled.width, levelled.height};
    // Each page: its angle, the levelled sheet it is found in (and that sheet's canvas at full
    // size), and its part of both.
    struct Side {
        PagePlan plan;
        const GreyPicture* pixels = nullptr;
        PixelBox smallWhole, whole, smallPart, part;
    };
    std::vector<Side> sides{{plan, &levelled, smallWhole, whole, smallWhole, whole}};
    std::array<GreyPicture, 2> ownLevelled;
    const std::optional<int> fold =
        options.splitSpreads ? FindFold(levelled, levelledDpi) : std::nullopt;
    if (fold) {
        const int x = Enlarged({*fold, 0, *fold, 0}, smallWhole, whole).left + 1;
        const Side unsplit = sides[0];
        sides.assign(2, unsplit);
        sides[0].plan.fold = sides[1].plan.fold = x;
        sides[0].smallPart = {0, 0, *fold, levelled.height};
        sides[1].smallPart = {*fold, 0, levelled.width, levelled.height};
        sides[0].part = {whole.left, whole.top, x, whole.bottom};
        sides[1].part = {x, whole.top, whole.right, whole.bottom};
        if (options.deskew) {
            const auto [left, right] =
                SkewOfSides(measured, smallDpi, plan.degrees, *fold, smallWhole, kLevelledShrink);
            for (int i = 0; i < 2; ++i) {
                const SkewEstimate& own = i == 0 ? left : right;
                Side& side = sides[i];
                if (!own.confident)
                    continue;
                side.plan.skewMeasured = true;
                side.plan.skew = own.degrees;
                if (std::abs(LevelBy(own) - plan.degrees) < kLevelEnough)
                    continue;
                // Found again in the sheet levelled by this page's own angle, where the fold
                // runs aslant: the other page's side of it is blanked out.
                side.plan.degrees = LevelBy(own);
                GreyPicture& pixels = ownLevelled[i];
                pixels = Turn(evenLit, side.plan.degrees, false);
                side.pixels = &pixels;
                side.smallWhole = {0, 0, pixels.width, pixels.height};
                side.whole = TurnedBounds(width, height, side.plan.degrees);
                const Spot top = Relevelled({*fold + 0.5, 0}, smallWhole, plan.degrees,
                                            side.smallWhole, side.plan.degrees);
                const Spot bottom =
                    Relevelled({*fold + 0.5, static_cast<double>(levelled.height)}, smallWhole,
                               plan.degrees, side.smallWhole, side.plan.degrees);
                const auto foldAt = [&](double y) {
                    return top.x + (bottom.x - top.x) * (y - top.y) / (bottom.y - top.y);
                };
                for (int y = 0; y < pixels.height; ++y) {
                    const int edge =
                        std::clamp(static_cast<int>(std::lround(foldAt(y + 0.5))), 0, pixels.width);
                    std::uint8_t* row =
                        pixels.pixels.data() + static_cast<std::size_t>(y) * pixels.width;
                    if (i == 0)
                        std::fill(row + edge, row + pixels.width, 255);
                    else
                        std::fill(row, row + edge, 255);
                }
                const double first = foldAt(0), last = foldAt(pixels.height);
                side.smallPart =
                    i == 0
                        ? PixelBox{0, 0,
                                   std::clamp(static_cast<int>(std::ceil(std::max(first, last))), 1,
                                              pixels.width),
                                   pixels.height}
                        : PixelBox{std::clamp(static_cast<int>(std::floor(std::min(first, last))),
                                              0, pixels.width - 1),
                                   0, pixels.width, pixels.height};
                side.part = Enlarged(side.smallPart, side.smallWhole, side.whole);
                side.plan.fold = static_cast<int>(std::lround(
                    foldAt(pixels.height / 2.0) * side.whole.Width() / side.smallWhole.Width()));
            }
        }
        if (options.rightToLeft)
            std::swap(sides[0], sides[1]);
    }
    std::vector<PagePlan> plans;
    const int margin = static_cast<int>(std::lround(options.marginInches * DpiOr300(sample.dpi)));
    for (const Side& side : sides) {
        PagePlan one = side.plan;
        one.area = side.part;
        one.box = side.part == side.whole ? PixelBox{} : side.part;
        if (options.crop) {
            const PixelBox& smallPart = side.smallPart;
            const GreyPicture cut =
                smallPart == side.smallWhole ? GreyPicture{} : Cut(*side.pixels, smallPart);
            const GreyPicture& page = smallPart == side.smallWhole ? *side.pixels : cut;
            const PixelBox content = FindContentBox(page, levelledDpi);
            one.blank = content.Empty() && LooksBlank(page);
            if (options.splitSpreads && sides.size() == 1 && page.width > page.height) {
                const int middle = page.width / 2;
                one.blankHalves = {LooksBlank(Cut(page, {0, 0, middle, page.height})),
                                   LooksBlank(Cut(page, {middle, 0, page.width, page.height}))};
            }
            if (!content.Empty()) {
                const PixelBox inSmall = Moved(content, smallPart.left, smallPart.top);
                one.content = Grown(Enlarged(inSmall, side.smallWhole, side.whole), 0, side.part);
                one.box = Grown(one.content, margin, side.part);
            }
        }
        plans.push_back(one);
    }
    return plans;
}

void SplitLikeTheRest(std::vector<PagePlan>& plans, const SheetResolution& dpi,
                      const CleanupOptions& options) {
    // The split sheets: their size in inches and where they fold, as a share of their width.
    const auto inches = [&](const PagePlan& plan, const PixelBox& box) {
        const double perInch = DpiOr300(dpi(plan.sheet));
        return std::pair{box.Width() / perInch, box.Height() / perInch};
    };
    std::vector<double> folds, widths, heights;
    int landscape = 0;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const PagePlan& plan = plans[i];
        const bool split = plan.fold >= 0;
        if (split && (i + 1 >= plans.size() || plans[i + 1].sheet != plan.sheet))
            continue;  // the second page of a split sheet: counted with the first
        const PixelBox whole = split ? plan.area.Union(plans[i + 1].area) : plan.area;
        if (whole.Width() <= whole.Height())
            continue;
        ++landscape;
        if (split) {
            folds.push_back(static_cast<double>(plan.fold - whole.left) / whole.Width());
            const auto [width, height] = inches(plan, whole);
            widths.push_back(width);
            heights.push_back(height);
            ++i;
        }
    }
    if (folds.size() < 3 || 10 * folds.size() < 6 * static_cast<std::size_t>(landscape))
        return;
    const double fold = MedianOf(folds), width = MedianOf(widths), height = MedianOf(heights);
    std::vector<PagePlan> out;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const PagePlan& plan = plans[i];
        const PixelBox& whole = plan.area;
        const auto [ownWidth, ownHeight] = inches(plan, whole);
        const bool alike = plan.fold < 0 && whole.Width() > whole.Height() &&
                           std::abs(ownWidth - width) < 0.05 * width &&
                           std::abs(ownHeight - height) < 0.05 * height;
        const int x = whole.left + static_cast<int>(std::lround(fold * whole.Width()));
        // A plate or a map across the fold is one page.
        if (!alike || (!plan.content.Empty() && plan.content.left < x && plan.content.right > x)) {
            out.push_back(plan);
            continue;
        }
        const int margin =
            static_cast<int>(std::lround(options.marginInches * DpiOr300(dpi(plan.sheet))));
        std::array<PagePlan, 2> sides{plan, plan};
        sides[0].area = {whole.left, whole.top, x, whole.bottom};
        sides[1].area = {x, whole.top, whole.right, whole.bottom};
        for (int i = 0; i < 2; ++i) {
            PagePlan& side = sides[static_cast<std::size_t>(i)];
            side.fold = x;
            const bool holds = !plan.content.Empty() && plan.content.left >= side.area.left &&
                               plan.content.right <= side.area.right;
            // The other page's side, blank as the sheet's half is: cut to the book's size.
            side.blank = plan.blank || (!holds && plan.blankHalves[static_cast<std::size_t>(i)]);
            side.content = holds ? plan.content : PixelBox{};
            side.box = holds ? Grown(plan.content, margin, side.area) : side.area;
        }
        if (options.rightToLeft)
            std::swap(sides[0], sides[1]);
        out.insert(out.end(), sides.begin(), sides.end());
    }
    plans = std::move(out);
}

namespace {

// Within this, two pages' text starts (or ends) at the same place on their sheets: a book on a
// scanner moves by less between pages, and a paragraph's indent is more.
constexpr double kSameEdgeInches = 0.1;

// Which hand a page is: the left or right page of a split sheet (by its middle: a page levelled
// by its own angle reaches past the fold), else odd or even sheets, whose margins differ as a
// book's rectos' and versos' do.
int HandOf(const PagePlan& plan) {
    if (plan.fold >= 0)
        return plan.area.left + plan.area.right < 2 * plan.fold ? 0 : 1;
    return plan.sheet % 2;
}

// Where across its page a page's edges are measured from: the fold it was split at, else its
// sheet's middle, which levelling does not move (the levelled canvas widens both ways).
double EdgeOrigin(const PagePlan& plan) {
    return plan.fold >= 0 ? plan.fold : (plan.area.left + plan.area.right) / 2.0;
}

// Where the text of a hand's full pages starts and ends across their page, in inches from its
// EdgeOrigin: their medians.
struct TextEdges {
    bool known = false;
    double left = 0, right = 0;
};

TextEdges TypicalEdges(const std::vector<PagePlan>& plans, const SheetResolution& dpi,
                       double commonWidth, double commonHeight, int hand) {
    std::vector<double> lefts, rights;
    for (const PagePlan& plan : plans) {
        if (plan.content.Empty() || HandOf(plan) != hand)
            continue;
        const double perInch = DpiOr300(dpi(plan.sheet));
        const double width = plan.content.Width() / perInch;
        // Pages of full lines, no larger than the shared size.
        if (width < 0.9 * commonWidth || width > commonWidth ||
            plan.content.Height() / perInch > commonHeight)
            continue;
        lefts.push_back((plan.content.left - EdgeOrigin(plan)) / perInch);
        rights.push_back((plan.content.right - EdgeOrigin(plan)) / perInch);
    }
    // Too few to tell a book's layout from chance.
    if (lefts.size() < 3)
        return {};
    return {true, MedianOf(std::move(lefts)), MedianOf(std::move(rights))};
}

}  // namespace

void MatchPageSizes(std::vector<PagePlan>& plans, const SheetResolution& dpi,
                    const CleanupOptions& options) {
    // Content sizes in inches, so that sheets of different resolutions compare.
    std::vector<double> widths, heights;
    for (const PagePlan& plan : plans) {
        if (plan.content.Empty())
            continue;
        const double perInch = DpiOr300(dpi(plan.sheet));
        widths.push_back(plan.content.Width() / perInch);
        heights.push_back(plan.content.Height() / perInch);
    }
    if (widths.empty())
        return;
    // Nine in ten pages' content fits, and so does what is larger by no more than measuring
    // leaves between pages of one kind; the few with more (a plate, a fold-out) keep their own.
    // Content far larger than the typical page's is left out first: in a short document, or one
    // with many plates, they would be the tenth that sets the size, and every page would come
    // out with wide margins.
    const auto fitsMost = [](std::vector<double> values) {
        // The typical text page: as large as three pages in four, so that full pages set it
        // also where many are short (poems, chapters' ends).
        std::sort(values.begin(), values.end());
        const double typical = values[values.size() * 3 / 4];
        std::erase_if(values, [&](double v) { return v > kFarLarger * typical; });
        const auto fitting = static_cast<std::size_t>(std::ceil(0.9 * values.size()));
        const double most = values[std::max<std::size_t>(fitting, 1) - 1];
        double size = most;
        for (const double v : values) {
            if (v <= kAlmost * most)
                size = std::max(size, v);
        }
        return size;
    };
    const double commonWidth = fitsMost(widths), commonHeight = fitsMost(heights);
    const std::array<TextEdges, 2> edges = {TypicalEdges(plans, dpi, commonWidth, commonHeight, 0),
                                            TypicalEdges(plans, dpi, commonWidth, commonHeight, 1)};
    for (PagePlan& plan : plans) {
        const double perInch = DpiOr300(dpi(plan.sheet));
        const int width = static_cast<int>(std::lround(commonWidth * perInch));
        const int height = static_cast<int>(std::lround(commonHeight * perInch));
        const int margin = static_cast<int>(std::lround(options.marginInches * perInch));
        const PixelBox& sheet = plan.area;
        if (plan.blank) {
            // In the middle of the page, where a blank page's paper is; no larger than the page
            // (half a sheet may be a little narrower than the book's pages with their margin).
            const int left = (sheet.left + sheet.right) / 2 - width / 2 - margin;
            const int top = (sheet.top + sheet.bottom) / 2 - height / 2 - margin;
            plan.box =
                Grown({left, top, left + width + 2 * margin, top + height + 2 * margin}, 0, sheet);
            continue;
        }
        if (plan.content.Empty() || plan.content.Width() > width || plan.content.Height() > height)
            continue;
        // At the margin from the top; across, where the book's text lies on its page when the
        // content starts or ends where the text of the pages like it does (by the nearer of its
        // edges: a page of short lines, ragged at the right, keeps its left edge), else centred.
        // Moved back onto the sheet where it would reach past it.
        PixelBox box;
        box.left = (plan.content.left + plan.content.right) / 2 - width / 2 - margin;
        if (const TextEdges& typical = edges[static_cast<std::size_t>(HandOf(plan))];
            typical.known) {
            const double fromLeft =
                std::abs((plan.content.left - EdgeOrigin(plan)) / perInch - typical.left);
            const double fromRight =
                std::abs((plan.content.right - EdgeOrigin(plan)) / perInch - typical.right);
            // The room the typical text has on each side, centred.
            const int room = static_cast<int>(std::lround(
                std::max(0.0, commonWidth - (typical.right - typical.left)) / 2 * perInch));
            if (std::min(fromLeft, fromRight) <= kSameEdgeInches) {
                // Never so far that content wider than the typical text would be cut.
                box.left =
                    std::clamp(fromLeft <= fromRight ? plan.content.left - margin - room
                                                     : plan.content.right + room - width - margin,
                               plan.content.right - width - margin, plan.content.left - margin);
            }
        }
        box.top = plan.content.top - margin;
        box.right = box.left + width + 2 * margin;
        box.bottom = box.top + height + 2 * margin;
        const int dx = box.right > sheet.right ? sheet.right - box.right
                       : box.left < sheet.left ? sheet.left - box.left
                                               : 0;
        const int dy = box.bottom > sheet.bottom ? sheet.bottom - box.bottom
                       : box.top < sheet.top     ? sheet.top - box.top
                                                 : 0;
        plan.box = Grown(Moved(box, dx, dy), 0, sheet);
    }
}

}  // namespace vellumark::imaging
