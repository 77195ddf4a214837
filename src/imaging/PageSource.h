#pragma once
// What a conversion needs of a document: a page count, the pages' shapes and page pictures. The
// scanned document implements it; tests give their own.

#include "imaging/Picture.h"

namespace vellumark::imaging {

// How a page stores its pixels, which decides how its picture is best kept in a book.
enum class PageKind {
    Bilevel,  // one bit per pixel: text and line art
    Grey,     // shades of grey
    Colour,   // everything else (RGB, palette, CMYK, YCbCr, ...)
};

struct PageShape {
    int width = 0;  // the page's own pixels, as shown (orientation applied)
    int height = 0;
    PageKind kind = PageKind::Colour;
};

// Every member must be safe to call from several threads at once. All throw vellumark::Error.
class PageSource {
public:
    virtual ~PageSource() = default;
    virtual int PageCount() const = 0;
    // The page's size and kind, read without decoding it.
    virtual PageShape Shape(int page) const = 0;
    // The page (0-based) at 96 pixels per inch of its physical size.
    virtual Picture PagePicture(int page) const = 0;
    // The page resampled from its own pixels to exactly width x height, orientation applied.
    virtual Picture PagePicture(int page, int width, int height) const = 0;
};

}  // namespace vellumark::imaging
