#include "imaging/cleanup/CleanupPlan.h"

#include <algorithm>
#include <cmath>

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
        if (upright && upright->quarters != 0 && upright->confidence >= kConfidentUpright) {
            plan.quarters = upright->quarters;
            turned = TurnQuarters(*small, plan.quarters);
            small = &turned;
            if (plan.quarters % 2 != 0)
                std::swap(width, height);
            skew = MeasureSkew(*small, smallDpi);
        }
    }
    if (options.deskew || options.crop || options.splitSpreads) {
        plan.skewMeasured = skew.confident;
        plan.skew = skew.degrees;
        if (options.deskew && skew.confident && std::abs(skew.degrees) >= kLevelEnough)
            plan.degrees = -skew.degrees;
    }
    const PixelBox whole = TurnedBounds(width, height, plan.degrees);
    std::vector<PixelBox> parts{whole};
    if (!options.crop && !options.splitSpreads) {
        plan.area = whole;
        return {plan};
    }
    // Content and folds are found at half the sample's resolution, which places them to a few
    // of the sheet's pixels (the boxes are rounded outwards) at a quarter of the cost. The light
    // is evened out before the turn, whose corners are paper.
    GreyPicture levelled =
        EvenlyLit(ShrinkKeepingInk(*small, kLevelledShrink), smallDpi / kLevelledShrink);
    if (plan.degrees != 0)
        levelled = Turn(levelled, plan.degrees, false);
    small = &levelled;
    smallDpi /= kLevelledShrink;
    const PixelBox smallWhole{0, 0, small->width, small->height};
    std::vector<PixelBox> smallParts{smallWhole};
    if (options.splitSpreads) {
        if (const std::optional<int> fold = FindFold(*small, smallDpi)) {
            smallParts = {{0, 0, *fold, small->height}, {*fold, 0, small->width, small->height}};
            const int x = Enlarged({*fold, 0, *fold, 0}, smallWhole, whole).left + 1;
            parts = {{whole.left, whole.top, x, whole.bottom},
                     {x, whole.top, whole.right, whole.bottom}};
            plan.fold = x;
            if (options.rightToLeft) {
                std::swap(parts[0], parts[1]);
                std::swap(smallParts[0], smallParts[1]);
            }
        }
    }
    std::vector<PagePlan> plans;
    const int margin = static_cast<int>(std::lround(options.marginInches * DpiOr300(sample.dpi)));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        PagePlan one = plan;
        one.area = parts[i];
        one.box = parts[i] == whole ? PixelBox{} : parts[i];
        if (options.crop) {
            const PixelBox& smallPart = smallParts[i];
            const PixelBox content =
                FindContentBox(smallPart == smallWhole ? *small : Cut(*small, smallPart), smallDpi);
            if (!content.Empty()) {
                const PixelBox inSmall = Moved(content, smallPart.left, smallPart.top);
                one.content = Grown(Enlarged(inSmall, smallWhole, whole), 0, parts[i]);
                one.box = Grown(one.content, margin, parts[i]);
            }
        }
        plans.push_back(one);
    }
    return plans;
}

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
    // Most pages' content fits; the few with more (a plate, a fold-out) keep their own.
    const auto fitsMost = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[std::min(values.size() - 1, values.size() * 9 / 10)];
    };
    const double commonWidth = fitsMost(widths), commonHeight = fitsMost(heights);
    for (PagePlan& plan : plans) {
        if (plan.content.Empty())
            continue;
        const double perInch = DpiOr300(dpi(plan.sheet));
        const int width = static_cast<int>(std::lround(commonWidth * perInch));
        const int height = static_cast<int>(std::lround(commonHeight * perInch));
        if (plan.content.Width() > width || plan.content.Height() > height)
            continue;
        const int margin = static_cast<int>(std::lround(options.marginInches * perInch));
        const PixelBox& sheet = plan.area;
        // Centred across, at the margin from the top; moved back onto the sheet where it would
        // reach past it.
        PixelBox box;
        box.left = (plan.content.left + plan.content.right) / 2 - width / 2 - margin;
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
