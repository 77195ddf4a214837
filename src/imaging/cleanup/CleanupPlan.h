#pragma once
// What clean-up makes of a document: for every page of the book, which sheet it comes from and
// how it is turned and cut. Planned over the whole document first, so that body pages can share
// one size and a sheet of two pages can become two.

#include <array>
#include <functional>
#include <vector>

#include "imaging/PageSource.h"
#include "imaging/cleanup/InkMap.h"

namespace vellumark::imaging {

struct CleanupOptions {
    bool upright = false;       // turn pages scanned sideways or upside down
    bool deskew = false;        // level text lines
    bool crop = false;          // cut to the content plus a margin
    bool splitSpreads = false;  // a sheet of two facing pages becomes two pages
    bool despeckle = false;     // clear dust specks from bilevel pages
    bool rightToLeft = false;   // a split sheet's right page comes first
    double marginInches = 0.2;  // around the content, when cropping

    bool Any() const { return upright || deskew || crop || splitSpreads || despeckle; }
};

// How one page of the book is made from a sheet: turned by quarters, then levelled by degrees
// (both clockwise), then cut to box (in the levelled sheet's pixels; empty: all of it).
struct PagePlan {
    int sheet = 0;
    int quarters = 0;
    double degrees = 0;
    PixelBox box;
    PixelBox area;  // the part of the levelled sheet the page comes from (all of it, or a side)
    // What was measured, for reports: the skew of the page's sheet, or of its side of a split
    // sheet (when measured with confidence), the content box in the levelled sheet, and the fold
    // where it was split, across the middle of the page's levelled sheet.
    bool skewMeasured = false;
    double skew = 0;
    PixelBox content;
    int fold = -1;
    // Cut to the content when it was measured and found to hold none, with paper across its
    // middle (a blank page, whatever border or shadow lies along its edges).
    bool blank = false;
    // A landscape sheet made one page: whether its left and its right half (split at the
    // middle) look blank, for a sheet split later where the book's other sheets fold.
    std::array<bool, 2> blankHalves{};
};

// The resolution of a sheet's own pixels, in pixels per inch; 0 when unknown (300 is assumed).
using SheetResolution = std::function<double(int sheet)>;

// A sheet as clean-up measures it: in grey at about 150 dpi, where lines, boxes and folds are
// found as well as at full size and several times quicker.
struct SheetSample {
    GreyPicture pixels;  // the sheet shrunk by about `factor` (its own pixels when 1)
    int factor = 1;
    int width = 0;  // the sheet's own size, which the plans' boxes are in
    int height = 0;
    double dpi = 0;  // of the sheet's own pixels; 0 when unknown (300 is assumed)
};

// The resolution to work at: the page's own, else 300 dpi, as most scans are.
double DpiOr300(double dpi);
// The whole factor that brings a sheet of this resolution to about 150 dpi.
int SampleFactor(double dpi);
// The sample of a sheet given at its own pixels.
SheetSample SampleOf(const GreyPicture& pixels, double dpi);

// Measures one sheet and plans its pages (one, or two when it is split, each levelled by its own
// angle), with each page's box its content plus the margin, in the sheet's own pixels.
// Thread-safe.
std::vector<PagePlan> PlanSheet(int sheet, const SheetSample& sample,
                                const CleanupOptions& options);
// The same for a sheet given at its own pixels.
std::vector<PagePlan> PlanSheet(int sheet, const GreyPicture& pixels, double dpi,
                                const CleanupOptions& options);

// Splits the sheets of a book scanned open that could not be told apart from single pages
// because one of their two pages is blank (a chapter's end, say): a landscape sheet the size of
// the split ones, whose content lies wholly on one side of where those fold, is split there too.
// Needs most landscape sheets, and at least three, split. Plans are in sheet order.
void SplitLikeTheRest(std::vector<PagePlan>& plans, const SheetResolution& dpi,
                      const CleanupOptions& options);

// Gives the pages of a book one shared size where they are body pages (their content no larger
// than most pages'), with the content placed alike in each, within the page's area: at the same
// distance from the top; across, at the place the text of the pages of its hand (odd or even
// sheets, left or right of a fold) has when its content starts or ends where theirs does, else
// centred. Pages with more content keep their own box; blank pages get the shared size in the
// middle of their area, leaving out what lies along its edges.
void MatchPageSizes(std::vector<PagePlan>& plans, const SheetResolution& dpi,
                    const CleanupOptions& options);

}  // namespace vellumark::imaging
