#pragma once
// A document's pages as clean-up makes them: a page source over another one, whose pages are
// the planned pages (upright, levelled, split, cut to their content). Conversions, the page
// view and OCR read it like any document.

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "common/Scheduler.h"
#include "imaging/PageSource.h"
#include "imaging/cleanup/CleanupPlan.h"

namespace vellumark::imaging {

class CleanedPages final : public PageSource {
public:
    // Reads every sheet of `source` at its own pixels and plans its pages, sheets side by side
    // on `scheduler`, then gives body pages one size. `progress` (may be empty) hears on the
    // calling thread of each sheet planned; a set `cancel` (may be null) stops with
    // vellumark::Error (Cancelled). Throws the source's errors (the first sheet's that failed).
    static std::shared_ptr<const CleanedPages> Plan(
        std::shared_ptr<const PageSource> source, const CleanupOptions& options,
        SheetResolution dpi, Scheduler& scheduler,
        const std::function<void(int done, int total)>& progress = {},
        const std::atomic<bool>* cancel = nullptr);

    CleanedPages(std::shared_ptr<const PageSource> source, std::vector<PagePlan> plans,
                 CleanupOptions options, SheetResolution dpi);

    int PageCount() const override { return static_cast<int>(plans_.size()); }
    // The cleaned page's size in the sheet's own pixels (made square first where they are not,
    // as a fax's), and the sheet's kind.
    PageShape Shape(int page) const override;
    // At 96 pixels per inch of the sheet's resolution (the cleaned size when it has none).
    Picture PagePicture(int page) const override;
    Picture PagePicture(int page, int width, int height) const override;

    // The sheet's resolution (0 when unknown).
    double Resolution(int page) const override { return dpi_(PlanOf(page).sheet); }
    const std::filesystem::path& Path() const override { return source_->Path(); }
    // The sheet's stored text when the page is the whole sheet's content: a split sheet's
    // halves are read again rather than each given the words of both.
    std::string StoredText(int page) const override;

    const PagePlan& PlanOf(int page) const { return plans_.at(static_cast<std::size_t>(page)); }

private:
    // The part of the levelled sheet the page is cut from.
    PixelBox CutBox(int page) const;
    // The page made from the sheet read at `scale` of its own size (1: its own pixels); made
    // `fitWidth` x `fitHeight` when given and within a pixel or two of its size.
    Picture Cleaned(int page, double scale, int fitWidth = 0, int fitHeight = 0) const;

    // The page made width x height, before what reaches its edge from outside the content is
    // cleared.
    Picture Made(int page, int width, int height) const;
    // The turned page made width x height from its sheet's bits.
    Picture FromBits(int page, const BitPicture& sheet, int width, int height) const;

    std::shared_ptr<const PageSource> source_;
    std::vector<PagePlan> plans_;
    CleanupOptions options_;
    SheetResolution dpi_;
};

}  // namespace vellumark::imaging
