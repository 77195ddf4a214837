#pragma once
// Where a printed page goes and which pages a print run covers: rules without a printer.

namespace vellumark::print {

struct PagePlacement {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Doubles a w x h picture while it is under half the printable width and height, centres it
// on a pw x ph page and clamps it to the page. A picture without area is not enlarged.
PagePlacement PlacePage(int width, int height, int pageWidth, int pageHeight);

// 0-based first and last page; all pages: 0 and pageCount - 1; a page range: from - 1, to - 1.
struct PageRange {
    int first = 0, last = -1;
};
PageRange ResolveRange(bool allPages, int fromPage, int toPage, int pageCount);

}  // namespace vellumark::print
