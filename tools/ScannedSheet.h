#pragma once
// Pages as a scanner delivers them, made from rendered pages with known truth: turned by a known
// angle, with a dark border, a gutter shadow, blur and noise. Used by tests and benchmarks of the
// clean-up steps; nothing here is part of the product.

#include <cstdint>
#include <vector>

#include "imaging/Picture.h"
#include "tools/SampleScan.h"

namespace vellumark::tools {

struct SheetOptions {
    double degrees = 0;  // the page turned clockwise by this much about its centre
    // A dark, noisy band this wide along every edge of the sheet, as a scanner lid leaves.
    int border = 0;
    // A shadow this wide darkening towards the right edge, as a book's gutter leaves.
    int gutterShadow = 0;
    // Grey with a little blur and noise; otherwise bilevel (0 and 255 only).
    bool grey = false;
    unsigned seed = 1;
};

// The page's ink as a grey picture of the same size, turned and marked as the options say.
imaging::GreyPicture ScanSheet(const BilevelPage& page, const SheetOptions& options = {});

// The page's ink box, half-open: {left, top, right, bottom}; all zero for a blank page.
std::vector<int> InkBox(const BilevelPage& page);

// Two pages side by side on one sheet with `gutter` paper pixels between them (a spread).
BilevelPage Spread(const BilevelPage& left, const BilevelPage& right, int gutter);

// A4 at 150 dpi with one-inch margins: quick test pages that still read as text.
PageLayout SmallA4(unsigned seed = 1);

// A page of about `words` words of filler text at `points`, within the layout's margins.
BilevelPage TextPage(const PageLayout& layout, int words = 380, double points = 12);

// The sheet as a bilevel page: black where it is darker than mid-grey.
BilevelPage ToBilevel(const imaging::GreyPicture& sheet);

// The page turned a quarter clockwise, as a page scanned sideways comes.
BilevelPage TurnedQuarter(const BilevelPage& page);

// A book of `pages` text pages (at least 4) as a scanner delivers it, for trying clean-up out:
// pages askew by known angles within dark borders, one sheet holding two facing pages with a
// fold shadow, one page scanned sideways and (from five pages) one upside down.
std::vector<BilevelPage> ScannedBook(int pages, const PageLayout& layout = {});

}  // namespace vellumark::tools
