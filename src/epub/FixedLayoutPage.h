#pragma once
// A page of a fixed-layout (EPUB 3) book: an XHTML 5 document whose viewport is its picture's
// size, holding one SVG drawing whose view box is the picture: the picture, and over it, where
// there are words, an invisible text layer: each line of words placed over the line on the
// picture, so that a reading system's search finds the words where they stand, a selection
// covers them, and a screen reader reads them in order. The view box keeps the page in its own
// shape, and the words on their ink, however a reading system sizes the drawing. The text is
// transparent and drawn in the blank font, never hidden with display or visibility, which
// would hide it from screen readers too.

#include <string>
#include <string_view>
#include <vector>

#include "imaging/text/TextLayer.h"

namespace vellumark::epub {

struct FixedPage {
    std::string title;        // "Page 3", "Cover"
    std::string pictureName;  // "3.jpg": the file name in the content folder
    int width = 0;            // the picture's pixels, and the viewport's
    int height = 0;
};

// The words of a page on its picture: boxes scaled from the space the words were read in
// (boxWidth x boxHeight, the page as shown) to the picture's pixels.
struct PlacedWord {
    std::string text;
    double left = 0, top = 0, width = 0, height = 0;
    int block = 0, line = 0;
};

// Words with boxes are scaled onto the picture; words without boxes (text an MDI file stores)
// are spread over the page a line at a time, so that they can still be found and read. Words
// with no text are left out.
std::vector<PlacedWord> PlaceWords(const std::vector<imaging::Word>& words, int boxWidth,
                                   int boxHeight, int pictureWidth, int pictureHeight);

// The namespace of the marker that ends the page for readers that show all text as text.
inline constexpr const char* kTextLayerNamespace = "https://vellumark.org/ns/text-layer";

// The text layer's markup inside the page's SVG drawing: a group of class "ocr" holding the
// marker in a desc element, then a text element per line and a tspan per word; "" when there
// are no words.
std::string TextLayerMarkup(const std::vector<PlacedWord>& words);

// The page document. `textLayer` is TextLayerMarkup's output (may be empty); `stylesheet`
// the stylesheet's file name. Lines end in CR LF, as every document of a book does.
std::string FixedPageText(const FixedPage& page, std::string_view textLayer,
                          std::string_view stylesheet, std::string_view languageTag);

// A length in CSS pixels (or SVG user units) as written: at most two decimals, no trailing zeros,
// never "-0". Independent of the C locale.
std::string CssPixels(double value);

// The page document with a page-break marker carrying the printed label at the start of its
// body, where assistive technology announces the print page; unchanged when it has no body.
std::string WithPageBreak(const std::string& document, const std::string& label);

}  // namespace vellumark::epub
