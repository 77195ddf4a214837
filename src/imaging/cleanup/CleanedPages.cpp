#include "imaging/cleanup/CleanedPages.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/Error.h"
#include "imaging/Document.h"
#include "imaging/Resampler.h"
#include "imaging/cleanup/EdgeInk.h"
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
    const double scale = dpi / 150.0;
    return std::max(1, static_cast<int>(2 * scale * scale));
}

// Pictures made at fewer pixels per inch of the sheet than this are thumbnails: book pages and
// the page view are made at 96 or more.
constexpr double kThumbnailDpi = 40;

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

// A document's sheets with square pixels: one whose pixels are not (a fax's 204 x 98 dpi) is
// read as a picture at its finer resolution both ways. Turned in pixels twice as tall as wide,
// a page would be sheared, and cut to them it would come out stretched.
class SquarePixels final : public PageSource {
public:
    explicit SquarePixels(std::shared_ptr<const PageSource> source) : source_(std::move(source)) {}

    // Whether any of the source's sheets needs it.
    static bool Needed(const PageSource& source) {
        for (int sheet = 0; sheet < source.PageCount(); ++sheet) {
            if (Finer(source, sheet) > 0)
                return true;
        }
        return false;
    }
    // The resolution a sheet whose pixels are not square is made square at; 0 for the others.
    double Finer(int sheet) const { return Finer(*source_, sheet); }

    int PageCount() const override { return source_->PageCount(); }
    PageShape Shape(int page) const override {
        PageShape shape = source_->Shape(page);
        if (const double finer = Finer(page); finer > 0) {
            const auto scaled = [](int size, double by) {
                return std::max(1, static_cast<int>(std::lround(size * by)));
            };
            shape.width = scaled(shape.width, finer / source_->ResolutionAcross(page));
            shape.height = scaled(shape.height, finer / source_->Resolution(page));
        }
        return shape;
    }
    Picture PagePicture(int page) const override { return source_->PagePicture(page); }
    Picture PagePicture(int page, int width, int height) const override {
        return source_->PagePicture(page, width, height);
    }
    std::optional<BitPicture> PageBits(int page) const override {
        if (Finer(page) > 0)
            return std::nullopt;
        return source_->PageBits(page);
    }
    const std::filesystem::path& Path() const override { return source_->Path(); }
    std::pair<int, int> PictureSize(int page) const override { return source_->PictureSize(page); }
    double Resolution(int page) const override {
        const double finer = Finer(page);
        return finer > 0 ? finer : source_->Resolution(page);
    }
    std::string StoredText(int page) const override { return source_->StoredText(page); }

private:
    static double Finer(const PageSource& source, int sheet) {
        const double down = source.Resolution(sheet), across = source.ResolutionAcross(sheet);
        // Within a percent, the two differ by rounding in the file.
        if (!(down > 0) || !(across > 0) || std::abs(down / across - 1) <= 0.01)
            return 0;
        return std::max(down, across);
    }

    std::shared_ptr<const PageSource> source_;
};

}  // namespace

std::shared_ptr<const CleanedPages> CleanedPages::Plan(
    std::shared_ptr<const PageSource> source, const CleanupOptions& options, SheetResolution dpi,
    Scheduler& scheduler, const std::function<void(int done, int total)>& progress,
    const std::atomic<bool>* cancel) {
    if (SquarePixels::Needed(*source)) {
        auto square = std::make_shared<const SquarePixels>(std::move(source));
        dpi = [square, given = std::move(dpi)](int sheet) {
            const double finer = square->Finer(sheet);
            return finer > 0 ? finer : given(sheet);
        };
        source = std::move(square);
    }
    const int sheets = source->PageCount();
    std::vector<std::vector<PagePlan>> perSheet(static_cast<std::size_t>(std::max(sheets, 0)));
    const bool measure = options.upright || options.deskew || options.crop || options.splitSpreads;
    ParallelFor(
        scheduler, sheets,
        [&](int sheet) {
            const PageShape own = source->Shape(sheet);
            auto& plans = perSheet[static_cast<std::size_t>(sheet)];
            if (measure) {
                // Read straight at the size it is measured at: the reader shrinks as it decodes.
                SheetSample sample;
                sample.dpi = dpi(sheet);
                sample.factor = SampleFactor(sample.dpi);
                sample.width = own.width;
                sample.height = own.height;
                const auto shrunk = [&](int size) {
                    return std::max(1, (size + sample.factor - 1) / sample.factor);
                };
                sample.pixels =
                    ToGrey(source->PagePicture(sheet, shrunk(own.width), shrunk(own.height)));
                plans = PlanSheet(sheet, sample, options);
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
    if (options.splitSpreads)
        SplitLikeTheRest(plans, dpi, options);
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
    PageShape shape = source_->Shape(PlanOf(page).sheet);
    const PixelBox box = CutBox(page);
    shape.width = box.Width();
    shape.height = box.Height();
    return shape;
}

std::string CleanedPages::StoredText(int page) const {
    const PagePlan& plan = PlanOf(page);
    return plan.fold < 0 ? source_->StoredText(plan.sheet) : std::string();
}

PixelBox CleanedPages::CutBox(int page) const {
    const PagePlan& plan = PlanOf(page);
    if (!plan.box.Empty())
        return plan.box;
    PageShape own = source_->Shape(plan.sheet);
    if (plan.quarters % 2 != 0)
        std::swap(own.width, own.height);
    return TurnedBounds(own.width, own.height, plan.degrees);
}

Picture CleanedPages::Cleaned(int page, double scale, int fitWidth, int fitHeight) const {
    const PagePlan& plan = PlanOf(page);
    const PageShape own = source_->Shape(plan.sheet);
    const PixelBox box = CutBox(page);
    const bool whole = scale >= 1;
    Picture picture =
        whole ? source_->PagePicture(plan.sheet, own.width, own.height)
              : source_->PagePicture(
                    plan.sheet, std::max(1, static_cast<int>(std::lround(own.width * scale))),
                    std::max(1, static_cast<int>(std::lround(own.height * scale))));
    if (plan.quarters != 0)
        picture = TurnQuarters(std::move(picture), plan.quarters);
    const int levelWidth = plan.quarters % 2 != 0 ? own.height : own.width;
    const int levelHeight = plan.quarters % 2 != 0 ? own.width : own.height;
    // The box in the picture turned at this scale: both canvases share their centre.
    const PixelBox full = TurnedBounds(levelWidth, levelHeight, plan.degrees);
    const PixelBox turned = TurnedBounds(picture.width, picture.height, plan.degrees);
    const double sx = static_cast<double>(turned.Width()) / full.Width();
    const double sy = static_cast<double>(turned.Height()) / full.Height();
    const double left = (box.left - full.Width() / 2.0) * sx + turned.Width() / 2.0;
    const double top = (box.top - full.Height() / 2.0) * sy + turned.Height() / 2.0;
    const double right = (box.right - full.Width() / 2.0) * sx + turned.Width() / 2.0;
    const double bottom = (box.bottom - full.Height() / 2.0) * sy + turned.Height() / 2.0;
    PixelBox here{static_cast<int>(std::floor(left)), static_cast<int>(std::floor(top)),
                  static_cast<int>(std::ceil(right)), static_cast<int>(std::ceil(bottom))};
    // Made to the size asked for, around the box's own middle: rounded outwards first, its ink
    // would sit up to a pixel off, and the page be made smaller once more to fit.
    if (fitWidth > 0 && fitHeight > 0 && std::abs(here.Width() - fitWidth) <= 2 &&
        std::abs(here.Height() - fitHeight) <= 2) {
        here.left = static_cast<int>(std::lround((left + right - fitWidth) / 2));
        here.top = static_cast<int>(std::lround((top + bottom - fitHeight) / 2));
        here.right = here.left + fitWidth;
        here.bottom = here.top + fitHeight;
    }
    if (plan.degrees != 0) {
        // Only the part that is kept is turned.
        picture = TurnPart(picture, plan.degrees, here);
        if (whole && own.kind == PageKind::Bilevel)
            MakeBilevel(picture);
    } else if (here != turned) {
        picture = Cut(picture, here);
    }
    if (options_.despeckle && own.kind == PageKind::Bilevel)
        DespeckleBilevel(picture, DpiOr300(dpi_(plan.sheet)) * std::min(scale, 1.0));
    return picture;
}

Picture CleanedPages::FromBits(int page, const BitPicture& sheet, int width, int height) const {
    const PagePlan& plan = PlanOf(page);
    BitPicture turned = TurnBits(sheet, plan.degrees, CutBox(page));
    // Specks are cleared at the sheet's own pixels, where they are whole: made smaller first,
    // a speck becomes a grey smudge that can no longer be told from the edge of a letter.
    if (options_.despeckle)
        Despeckle(turned, SpeckArea(DpiOr300(dpi_(plan.sheet))));
    Resampler resampler(turned.width, turned.height, width, height, 1);
    for (int y = 0; y < turned.height; ++y)
        resampler.AddBitsRow(turned.Row(y), true);
    return resampler.Finish();
}

Picture CleanedPages::PagePicture(int page) const {
    const auto [width, height] = PictureSize(page);
    return PagePicture(page, width, height);
}

Picture CleanedPages::PagePicture(int page, int width, int height) const {
    const PagePlan& plan = PlanOf(page);
    // Asked here, not of the sheet, which is read at a size of its own.
    CheckPictureSize(Path(), plan.sheet, width, height);
    Picture picture = Made(page, width, height);
    if (options_.crop && !plan.content.Empty()) {
        // The content in the picture's pixels, rounded outwards.
        const PixelBox box = CutBox(page);
        const double sx = static_cast<double>(picture.width) / std::max(box.Width(), 1);
        const double sy = static_cast<double>(picture.height) / std::max(box.Height(), 1);
        const PixelBox keep{static_cast<int>(std::floor((plan.content.left - box.left) * sx)) - 1,
                            static_cast<int>(std::floor((plan.content.top - box.top) * sy)) - 1,
                            static_cast<int>(std::ceil((plan.content.right - box.left) * sx)) + 1,
                            static_cast<int>(std::ceil((plan.content.bottom - box.top) * sy)) + 1};
        ClearEdgeInk(picture, keep);
    }
    return picture;
}

Picture CleanedPages::Made(int page, int width, int height) const {
    const PageShape shape = Shape(page);
    // Made at twice the size asked for, and no larger than the sheet: a turn and a cut there
    // lose nothing the smaller picture shows, and cost a fraction of the sheet's own pixels.
    const double asked = std::max(static_cast<double>(width) / std::max(shape.width, 1),
                                  static_cast<double>(height) / std::max(shape.height, 1));
    const PagePlan& plan = PlanOf(page);
    // A bilevel sheet that can be read as bits turns at its own pixels, exactly, and is made
    // smaller from the bits: sharper, and a fraction of the cost of turning grey pixels. It is
    // turned by quarters, cut and despeckled there too: cut from the sheet read small, a page
    // would be made smaller twice, blurred and at twice the cost. Not for a thumbnail: it would
    // show nothing of that, and the sheet read small costs about half as much.
    const bool thumbnail = asked * DpiOr300(dpi_(plan.sheet)) < kThumbnailDpi;
    const PageShape own = source_->Shape(plan.sheet);
    const bool cut = CutBox(page) != PixelBox{0, 0, own.width, own.height};
    if ((plan.degrees != 0 || plan.quarters != 0 || options_.despeckle || cut) &&
        shape.kind == PageKind::Bilevel && !thumbnail) {
        if (auto bits = source_->PageBits(plan.sheet)) {
            if (plan.quarters != 0)
                *bits = TurnQuarters(std::move(*bits), plan.quarters);
            return FromBits(page, *bits, width, height);
        }
    }
    // A turned page is made at twice the size and halved; a level one is cut at its size.
    const int times = plan.degrees == 0 && plan.quarters == 0 ? 1 : 2;
    const double scale = times * asked;
    Picture cleaned =
        scale >= 0.75 ? Cleaned(page, 1.0) : Cleaned(page, scale, times * width, times * height);
    if (cleaned.width == width && cleaned.height == height)
        return cleaned;
    // A turned page made at exactly twice the size: each pixel the mean of four.
    if (cleaned.width == 2 * width && cleaned.height == 2 * height)
        return Halved(cleaned);
    Resampler resampler(cleaned.width, cleaned.height, width, height, cleaned.channels);
    for (int y = 0; y < cleaned.height; ++y)
        resampler.AddRow(cleaned.Row(y));
    return resampler.Finish();
}

}  // namespace vellumark::imaging
