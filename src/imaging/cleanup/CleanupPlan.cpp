#include "imaging/cleanup/CleanupPlan.h"

#include <algorithm>
#include <cmath>

#include "imaging/cleanup/PageRegions.h"
#include "imaging/cleanup/Skew.h"
#include "imaging/cleanup/Turn.h"
#include "imaging/text/Ocr.h"

namespace vellumark::imaging {
namespace {

// A page measured within this of level is left as it is: turning it would only soften it.
constexpr double kLevelEnough = 0.015;

double DpiOr300(double dpi) {
    return dpi > 0 ? dpi : 300;
}

PixelBox Grown(const PixelBox& box, int by, const PixelBox& within) {
    return {std::max(box.left - by, within.left), std::max(box.top - by, within.top),
            std::min(box.right + by, within.right), std::min(box.bottom + by, within.bottom)};
}

PixelBox Moved(const PixelBox& box, int dx, int dy) {
    return {box.left + dx, box.top + dy, box.right + dx, box.bottom + dy};
}

// The orientation is read on a smaller copy: letters' shapes show as well at 150 dpi.
std::optional<UprightTurn> FindUpright(const GreyPicture& pixels, double dpi) {
    const int factor = std::max(1, static_cast<int>(DpiOr300(dpi) / 150));
    if (factor == 1)
        return DetectUpright(pixels, static_cast<int>(DpiOr300(dpi)));
    GreyPicture small{pixels.width / factor, pixels.height / factor, {}};
    small.pixels.resize(static_cast<std::size_t>(small.width) * small.height);
    for (int y = 0; y < small.height; ++y) {
        for (int x = 0; x < small.width; ++x) {
            int sum = 0;
            for (int dy = 0; dy < factor; ++dy) {
                const std::uint8_t* row =
                    pixels.pixels.data() + static_cast<std::size_t>(y * factor + dy) * pixels.width;
                for (int dx = 0; dx < factor; ++dx)
                    sum += row[x * factor + dx];
            }
            small.pixels[static_cast<std::size_t>(y) * small.width + x] =
                static_cast<std::uint8_t>(sum / (factor * factor));
        }
    }
    return DetectUpright(small, static_cast<int>(DpiOr300(dpi) / factor));
}

}  // namespace

std::vector<PagePlan> PlanSheet(int sheet, const GreyPicture& pixels, double dpi,
                                const CleanupOptions& options) {
    PagePlan plan;
    plan.sheet = sheet;
    GreyPicture turned;
    const GreyPicture* page = &pixels;
    if (options.upright) {
        const std::optional<UprightTurn> upright = FindUpright(pixels, dpi);
        if (upright && upright->quarters != 0 && upright->confidence >= kConfidentUpright) {
            plan.quarters = upright->quarters;
            turned = TurnQuarters(pixels, plan.quarters);
            page = &turned;
        }
    }
    GreyPicture level;
    if (options.deskew || options.crop || options.splitSpreads) {
        const SkewEstimate skew = MeasureSkew(*page, dpi);
        plan.skewMeasured = skew.confident;
        plan.skew = skew.degrees;
        if (options.deskew && skew.confident && std::abs(skew.degrees) >= kLevelEnough) {
            plan.degrees = -skew.degrees;
            level = Turn(*page, plan.degrees, false);
            page = &level;
        }
    }
    const PixelBox whole{0, 0, page->width, page->height};
    std::vector<PixelBox> parts{whole};
    if (options.splitSpreads) {
        if (const std::optional<int> fold = FindFold(*page, dpi)) {
            plan.fold = *fold;
            parts = {{0, 0, *fold, page->height}, {*fold, 0, page->width, page->height}};
            if (options.rightToLeft)
                std::swap(parts[0], parts[1]);
        }
    }
    std::vector<PagePlan> plans;
    const int margin = static_cast<int>(std::lround(options.marginInches * DpiOr300(dpi)));
    for (const PixelBox& part : parts) {
        PagePlan one = plan;
        one.area = part;
        one.box = part == whole ? PixelBox{} : part;
        if (options.crop) {
            const GreyPicture piece = part == whole ? GreyPicture{} : Cut(*page, part);
            const PixelBox content = FindContentBox(part == whole ? *page : piece, dpi);
            if (!content.Empty()) {
                one.content = Moved(content, part.left, part.top);
                one.box = Grown(one.content, margin, part);
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
