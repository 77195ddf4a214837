#pragma once
// What a PDF page draws, read with qpdf from its content stream: whether it is one scanned
// image covering the page (the common case for scans: the image, perhaps an invisible OCR text
// layer, nothing else seen), and that image's coding. Such a page is read at the image's own
// pixels instead of being rendered.

#include <optional>
#include <qpdf/QPDFObjectHandle.hh>
#include <string>

#include "imaging/PageSource.h"
#include "imaging/pages/FaxImage.h"

namespace vellumark::imaging {

// How the program decodes a page's image itself; Rendered: it leaves that to the renderer.
enum class PdfImageCoding { Rendered, Jpeg, Samples, Fax };

struct PdfPageImage {
    QPDFObjGen object;  // the image stream
    int width = 0;      // the image's own pixels
    int height = 0;
    double xDpi = 0;  // its pixels per inch on the page
    double yDpi = 0;
    PageKind kind = PageKind::Colour;
    PdfImageCoding coding = PdfImageCoding::Rendered;
    int channels = 1;         // Samples: 1 or 3 channels of 8 bits, or 1 channel of 1 bit
    int bits = 8;             // Samples: 1 or 8
    bool oneIsBlack = false;  // 1-bit Samples: whether a set bit shows black
    FaxCoding fax;            // Fax
    std::string codec;        // as `vellumark info` names it: "JPEG", "CCITT G4", "JBIG2", ...
    std::string layout;       // "bilevel", "grey 8-bit", "RGB 8-bit", ...
};

// The page's one image when the page shows nothing else and the image covers its crop box
// upright (widthPt x heightPt from the box's lower left corner at x0, y0); none otherwise, or
// when the page cannot be read. Never throws.
std::optional<PdfPageImage> FindPageImage(QPDFObjectHandle page, double x0, double y0,
                                          double widthPt, double heightPt);

}  // namespace vellumark::imaging
