#pragma once
// The pictures of a page for a reflowable book: regions with ink and no words (figures, photos,
// rules of a table OCR could not read, formulas), found on the page's picture and cut out of it,
// so that nothing on a page is lost when only its text is kept.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Picture.h"
#include "imaging/text/TextLayer.h"
#include "structure/FlowText.h"

namespace vellumark::epub {

// The picture regions of a page, in the words' pixels. `picture` is the page at
// `scale` picture pixels per word pixel. A page without words that has ink is one picture.
std::vector<structure::PictureBox> FindPictureBoxes(const imaging::GreyPicture& picture,
                                                    const std::vector<imaging::Word>& words,
                                                    double scale);

struct CutPicture {
    std::vector<std::uint8_t> bytes;
    std::string mediaType;  // "image/jpeg" or "image/png"
    std::string extension;  // ".jpg" or ".png"
    int width = 0;
    int height = 0;
};

// The region (words' pixels) cut out of the page's picture, as a JPEG, or as a few-grey PNG for
// a page of line art (`bilevel`).
CutPicture CutOut(const imaging::Picture& page, const structure::PictureBox& box, double scale,
                  bool bilevel, int quality);

}  // namespace vellumark::epub
