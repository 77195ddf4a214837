#pragma once
// What a conversion needs of a document: a page count and page pictures. The scanned document
// implements it; tests give their own.

#include "imaging/Picture.h"

namespace vellumark::imaging {

class PageSource {
public:
    virtual ~PageSource() = default;
    virtual int PageCount() const = 0;
    // The page (0-based) at 96 pixels per inch of its physical size. Must be safe to call from
    // several threads at once. Throws vellumark::Error.
    virtual Picture PagePicture(int page) const = 0;
};

}  // namespace vellumark::imaging
