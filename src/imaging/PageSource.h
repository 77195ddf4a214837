#pragma once
// What a conversion needs of a document: a page count, the pages' shapes and page pictures. The
// scanned document implements it; tests give their own.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// A word of a text layer the file already holds (a DjVu page's hidden text), placed on the
// page in its own pixels as shown.
struct StoredWord {
    std::string text;  // UTF-8
    int left = 0, top = 0, width = 0, height = 0;
    int block = 0, line = 0;  // in reading order, as the file groups them
};

// Whether the resolution a file gives its pixels (across and down, in pixels per inch; 0 for
// none) can be true of a page. It cannot when it makes the page less than an inch long either
// way at finer than its picture's 96 pixels per inch (a page of text would shrink to a few
// pixels), nor when it makes a side longer than 100 inches at coarser than 96 (its picture would
// blow the pixels up past any page's). Such a tag is damaged or mistaken (dots per metre written
// as per inch, a fraction turned over); readers take that page's resolution as unknown, so the
// page keeps its own pixels.
inline bool PlausibleResolution(double dpiAcross, double dpiDown, double width, double height) {
    const bool speck = dpiAcross > 96 && dpiDown > 96 && width < dpiAcross && height < dpiDown;
    const auto vast = [](double pixels, double dpi) {
        return dpi > 0 && dpi < 96 && pixels > 100 * dpi;
    };
    return !speck && !vast(width, dpiAcross) && !vast(height, dpiDown);
}

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
    // The page's own pixels as bits, orientation applied, when it is stored one bit a pixel and
    // can be read so whole; nothing otherwise (callers then read PagePicture). Throws as
    // PagePicture does for a damaged page.
    virtual std::optional<BitPicture> PageBits(int page) const {
        (void)page;
        return std::nullopt;
    }
    // The file the pages come from, for messages; empty when they come from no file.
    virtual const std::filesystem::path& Path() const {
        static const std::filesystem::path none;
        return none;
    }
    // The size of PagePicture(page): 96 pixels per inch of the page's own size, which is kept
    // when its resolution is unknown.
    virtual std::pair<int, int> PictureSize(int page) const {
        const PageShape shape = Shape(page);
        const double dpi = Resolution(page);
        if (!(dpi > 0))
            return {shape.width, shape.height};
        const double given = ResolutionAcross(page);
        const double across = given > 0 ? given : dpi;
        const auto scaled = [](int size, double at) {
            return std::max(1, static_cast<int>(std::lround(size * 96.0 / at)));
        };
        return {scaled(shape.width, across), scaled(shape.height, dpi)};
    }
    // The page's own pixels per inch down the page as shown; 0 when unknown.
    virtual double Resolution(int page) const {
        (void)page;
        return 0;
    }
    // The same across the page: Resolution's, unless the page's pixels are not square (a fax's
    // 204 x 98 dpi, say).
    virtual double ResolutionAcross(int page) const { return Resolution(page); }
    // OCR text the file stores for the page, as UTF-8 (words without boxes); empty when none.
    virtual std::string StoredText(int page) const {
        (void)page;
        return {};
    }
    // The words and boxes of a text layer the file holds for the page; empty when none. Takes
    // precedence over StoredText.
    virtual std::vector<StoredWord> StoredWords(int page) const {
        (void)page;
        return {};
    }
};

}  // namespace vellumark::imaging
