// Plans and makes cleaned pages from arbitrary sheets: whatever the pixels, sizes, resolutions
// and options, the only way out must be a vellumark::Error, and every page made must be a
// page (a box inside its sheet, a picture of the size asked for). Real scans reach clean-up
// with content no test foresaw: rules, halftones, noise, pages that are all border.
//
// The input: five bytes of settings, then the sheets' cells, row by row, each cell a square of
// `scale` pixels of its grey, rows leaning by up to 7 degrees so that skew is met too.
//   [0] options: deskew, crop, split, despeckle, right to left, bits given, margin (2 bits)
//   [1] resolution (3 bits), pixels twice as fine across (1 bit), sheets - 1 (2 bits)
//   [2] scale - 1, [3] cells across - 1, [4] lean

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "Require.h"
#include "common/Error.h"
#include "common/Scheduler.h"
#include "imaging/PageSource.h"
#include "imaging/Resampler.h"
#include "imaging/cleanup/CleanedPages.h"

namespace {

using vellumark::fuzz::Require;
using namespace vellumark::imaging;

// Big enough for every measure clean-up takes (a 150 dpi sample of several inches), small
// enough to try many sheets a second.
constexpr int kMaxSide = 1200;

class FuzzSheets final : public PageSource {
public:
    FuzzSheets(std::vector<GreyPicture> sheets, bool bits, double down, double across)
        : sheets_(std::move(sheets)), bits_(bits), down_(down), across_(across) {}
    int PageCount() const override { return static_cast<int>(sheets_.size()); }
    PageShape Shape(int page) const override {
        return {sheets_.at(page).width, sheets_.at(page).height,
                bits_ ? PageKind::Bilevel : PageKind::Grey};
    }
    Picture PagePicture(int page) const override {
        const auto [width, height] = PictureSize(page);
        return PagePicture(page, width, height);
    }
    Picture PagePicture(int page, int width, int height) const override {
        const GreyPicture& sheet = sheets_.at(page);
        Resampler resampler(sheet.width, sheet.height, width, height, 1);
        for (int y = 0; y < sheet.height; ++y)
            resampler.AddRow(&sheet.pixels[static_cast<std::size_t>(y) * sheet.width]);
        return resampler.Finish();
    }
    std::optional<BitPicture> PageBits(int page) const override {
        if (!bits_)
            return std::nullopt;
        const GreyPicture& sheet = sheets_.at(page);
        BitPicture bits(sheet.width, sheet.height);
        const std::uint8_t* grey = sheet.pixels.data();
        for (int y = 0; y < sheet.height; ++y) {
            std::uint8_t* row = bits.Row(y);
            for (int x = 0; x < sheet.width; ++x, ++grey)
                row[x >> 3] |= static_cast<std::uint8_t>((*grey < 128) << (7 - (x & 7)));
        }
        return bits;
    }
    double Resolution(int) const override { return down_; }
    double ResolutionAcross(int) const override { return across_; }

private:
    std::vector<GreyPicture> sheets_;
    bool bits_;
    double down_, across_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6)
        return 0;
    CleanupOptions options;
    options.deskew = data[0] & 1;
    options.crop = data[0] & 2;
    options.splitSpreads = data[0] & 4;
    options.despeckle = data[0] & 8;
    options.rightToLeft = data[0] & 16;
    const bool bits = data[0] & 32;
    options.marginInches = std::array{0.0, 0.05, 0.2, 1.5}[data[0] >> 6];
    const double down = std::array{0, 72, 100, 150, 200, 300, 400, 600}[data[1] & 7];
    const double across = (data[1] & 8) && down > 0 ? down * 2 : down;
    const int sheetCount = 1 + (data[1] >> 4 & 3);
    const int scale = 1 + data[2] % 32;
    const int cellsAcross = 1 + data[3];
    const double lean = static_cast<std::int8_t>(data[4]) / 1024.0;  // about 7 degrees at most
    const std::uint8_t* cells = data + 5;
    const std::size_t cellCount = size - 5;

    const std::size_t cellRows = std::max<std::size_t>(1, cellCount / cellsAcross / sheetCount);
    const int width = std::min(kMaxSide, cellsAcross * scale);
    const int height = static_cast<int>(std::min<std::size_t>(kMaxSide, cellRows * scale));
    std::vector<GreyPicture> sheets;
    for (int s = 0; s < sheetCount; ++s) {
        GreyPicture sheet{width, height, std::vector<std::uint8_t>(std::size_t(width) * height)};
        for (int y = 0; y < height; ++y) {
            const int shift = static_cast<int>(y * lean);
            for (int x = 0; x < width; ++x) {
                const long across = (x + shift) / scale, row = y / scale;
                const std::size_t cell =
                    (s * cellRows + static_cast<std::size_t>(row)) * cellsAcross + across;
                sheet.pixels[std::size_t(y) * width + x] =
                    across >= 0 && across < cellsAcross && cell < cellCount ? cells[cell] : 255;
            }
        }
        sheets.push_back(std::move(sheet));
    }

    try {
        vellumark::Scheduler scheduler(1);
        const auto source = std::make_shared<FuzzSheets>(std::move(sheets), bits, down, across);
        const auto pages = CleanedPages::Plan(
            source, options, [down](int) { return down; }, scheduler);
        Require(pages->PageCount() >= sheetCount && pages->PageCount() <= 2 * sheetCount);
        for (int page = 0; page < pages->PageCount(); ++page) {
            const PagePlan& plan = pages->PlanOf(page);
            Require(plan.sheet >= 0 && plan.sheet < sheetCount);
            const PageShape shape = pages->Shape(page);
            // A page is at most the levelled sheet (a turned sheet is wider than the sheet by
            // its other side's share) and in twice-as-fine pixels.
            Require(shape.width >= 1 && shape.height >= 1);
            Require(shape.width <= 4 * (width + height) && shape.height <= 4 * (width + height));
            const Picture made = pages->PagePicture(page, 37, 53);
            Require(made.width == 37 && made.height == 53 &&
                    made.samples.size() == made.RowBytes() * made.height);
            const auto [fullWidth, fullHeight] = pages->PictureSize(page);
            const Picture full = pages->PagePicture(page);
            Require(full.width == fullWidth && full.height == fullHeight &&
                    full.samples.size() == full.RowBytes() * full.height);
        }
    } catch (const vellumark::Error&) {
    }
    return 0;
}
