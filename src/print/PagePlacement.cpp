#include "print/PagePlacement.h"

namespace vellumark::print {

PagePlacement PlacePage(int width, int height, int pageWidth, int pageHeight) {
    // Whole doublings only while both sides stay under half the page, so a small scan prints
    // large without ever being reduced. An empty picture cannot grow: it is only centred.
    if (width > 0 && height > 0) {
        while (height < pageHeight / 2 && width < pageWidth / 2) {
            width *= 2;
            height *= 2;
        }
    }
    PagePlacement placement;
    placement.left = (pageWidth - width) / 2;
    placement.top = (pageHeight - height) / 2;
    placement.right = placement.left + width;
    placement.bottom = placement.top + height;
    if (placement.left < 0) {
        placement.left = 0;
    }
    if (placement.top < 0) {
        placement.top = 0;
    }
    if (placement.right > pageWidth) {
        placement.right = pageWidth;
    }
    if (placement.bottom > pageHeight) {
        placement.bottom = pageHeight;
    }
    return placement;
}

PageRange ResolveRange(bool allPages, int fromPage, int toPage, int pageCount) {
    if (allPages) {
        return {0, pageCount - 1};
    }
    return {fromPage - 1, toPage - 1};
}

}  // namespace vellumark::print
