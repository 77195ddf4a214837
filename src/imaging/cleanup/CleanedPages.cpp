#include "imaging/cleanup/CleanedPages.h"

#include <cmath>

#include "common/Error.h"
#include "imaging/Resampler.h"
#include "imaging/cleanup/Turn.h"

namespace vellumark::imaging {
namespace {

// Black or white again after a turn blurred a bilevel page's edges.
void MakeBilevel(Picture& picture) {
    for (std::uint8_t& sample : picture.samples)
        sample = sample < 128 ? 0 : 255;
}

// Dust on a bilevel page: pieces no larger than a speck a scanner leaves at this resolution,
// well under the dot of an i.
int SpeckArea(double dpi) {
    const double scale = (dpi > 0 ? dpi : 300) / 150.0;
    return std::max(1, static_cast<int>(2 * scale * scale));
}

void DespeckleBilevel(Picture& picture, double dpi) {
    const int channels = picture.channels;
    GreyPicture grey = ToGrey(std::move(picture));
    Despeckle(grey, SpeckArea(dpi));
    picture = Picture{grey.width, grey.height, {}, channels};
    if (channels == 1) {
        picture.samples = std::move(grey.pixels);
        return;
    }
    picture.samples.resize(grey.pixels.size() * 3);
    for (std::size_t i = 0; i < grey.pixels.size(); ++i)
        picture.samples[3 * i] = picture.samples[3 * i + 1] = picture.samples[3 * i + 2] =
            grey.pixels[i];
}

}  // namespace

std::shared_ptr<const CleanedPages> CleanedPages::Plan(
    std::shared_ptr<const PageSource> source, const CleanupOptions& options, SheetResolution dpi,
    Scheduler& scheduler, const std::function<void(int done, int total)>& progress,
    const std::atomic<bool>* cancel) {
    const int sheets = source->PageCount();
    std::vector<std::vector<PagePlan>> perSheet(static_cast<std::size_t>(std::max(sheets, 0)));
    const bool measure = options.upright || options.deskew || options.crop || options.splitSpreads;
    ParallelFor(
        scheduler, sheets,
        [&](int sheet) {
            const PageShape own = source->Shape(sheet);
            auto& plans = perSheet[static_cast<std::size_t>(sheet)];
            if (measure) {
                plans = PlanSheet(sheet, ToGrey(source->PagePicture(sheet, own.width, own.height)),
                                  dpi(sheet), options);
            } else {
                PagePlan plan;
                plan.sheet = sheet;
                plan.area = {0, 0, own.width, own.height};
                plans.push_back(plan);
            }
        },
        [&](int done) {
            if (progress)
                progress(done, sheets);
        },
        cancel);
    std::vector<PagePlan> plans;
    for (auto& sheetPlans : perSheet)
        plans.insert(plans.end(), sheetPlans.begin(), sheetPlans.end());
    if (options.crop)
        MatchPageSizes(plans, dpi, options);
    return std::make_shared<const CleanedPages>(std::move(source), std::move(plans), options,
                                                std::move(dpi));
}

CleanedPages::CleanedPages(std::shared_ptr<const PageSource> source, std::vector<PagePlan> plans,
                           CleanupOptions options, SheetResolution dpi)
    : source_(std::move(source)),
      plans_(std::move(plans)),
      options_(options),
      dpi_(std::move(dpi)) {}

PageShape CleanedPages::Shape(int page) const {
    const PagePlan& plan = PlanOf(page);
    PageShape shape = source_->Shape(plan.sheet);
    if (plan.quarters % 2 != 0)
        std::swap(shape.width, shape.height);
    const PixelBox size =
        plan.box.Empty() ? TurnedBounds(shape.width, shape.height, plan.degrees) : plan.box;
    shape.width = size.Width();
    shape.height = size.Height();
    return shape;
}

std::string CleanedPages::StoredText(int page) const {
    const PagePlan& plan = PlanOf(page);
    return plan.fold < 0 ? source_->StoredText(plan.sheet) : std::string();
}

Picture CleanedPages::Cleaned(int page) const {
    const PagePlan& plan = PlanOf(page);
    const PageShape own = source_->Shape(plan.sheet);
    Picture picture = source_->PagePicture(plan.sheet, own.width, own.height);
    if (plan.quarters != 0)
        picture = TurnQuarters(picture, plan.quarters);
    if (plan.degrees != 0) {
        picture = Turn(picture, plan.degrees);
        if (own.kind == PageKind::Bilevel)
            MakeBilevel(picture);
    }
    if (!plan.box.Empty())
        picture = Cut(picture, plan.box);
    if (options_.despeckle && own.kind == PageKind::Bilevel)
        DespeckleBilevel(picture, dpi_(plan.sheet));
    return picture;
}

Picture CleanedPages::PagePicture(int page) const {
    const PageShape shape = Shape(page);
    const double dpi = Resolution(page);
    if (!(dpi > 0))
        return Cleaned(page);
    const auto scaled = [&](int size) {
        return std::max(1, static_cast<int>(std::lround(size * 96.0 / dpi)));
    };
    return PagePicture(page, scaled(shape.width), scaled(shape.height));
}

Picture CleanedPages::PagePicture(int page, int width, int height) const {
    Picture cleaned = Cleaned(page);
    if (cleaned.width == width && cleaned.height == height)
        return cleaned;
    Resampler resampler(cleaned.width, cleaned.height, width, height, cleaned.channels);
    for (int y = 0; y < cleaned.height; ++y)
        resampler.AddRow(cleaned.Row(y));
    return resampler.Finish();
}

}  // namespace vellumark::imaging
