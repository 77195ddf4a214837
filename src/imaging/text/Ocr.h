#pragma once
// Word recognition with Tesseract and its English data.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Picture.h"
#include "imaging/text/TextLayer.h"

namespace vellumark::imaging {

// The words Tesseract finds on the picture, in reading order, with boxes in its pixels and
// their block and line numbers. `dpi` is the picture's resolution (0: unknown); `language` is
// Tesseract's ("eng", "deu", "eng+deu"). Uses one Tesseract handle per calling thread and
// language, made on first use and kept until the thread ends. Throws vellumark::Error (Internal)
// when Tesseract cannot start or fails on the picture, (Cancelled) when `cancel` (may be null)
// was set during the recognition.
std::vector<Word> RecogniseWords(const GreyPicture& picture, int dpi, const std::string& language,
                                 const std::atomic<bool>* cancel = nullptr);

// Tesseract's data for finding a page's orientation (Debian's tesseract-ocr-osd).
inline constexpr const char* kOrientationData = "osd";

struct UprightTurn {
    int quarters = 0;       // quarter turns clockwise that bring the page upright, 0 to 3
    double confidence = 0;  // Tesseract's; a few units is a guess, tens are sure
    bool latin = false;     // the letters were taken for the Latin alphabet
};

// From this on, a detected orientation is sure. Below it, it is a guess, taken only where the
// page's own lines confirm it. Tesseract gives wrong turns with confidences up to about 10 for
// letters too small for it (a page at 100 dpi), and right ones at 18 and more on the same page
// at 150 dpi; OCRmyPDF trusts 14 and up too.
inline constexpr double kConfidentUpright = 14.0;
// From this on, a guess is worth checking: common book faces at 150 dpi come out between 5 and
// 14, right; below it Tesseract has next to nothing to go on.
inline constexpr double kGuessedUpright = 3.0;

// How the page must be turned to be upright, from the shapes of its letters; nothing when the
// page has too little text to tell or the orientation data is not installed. Uses the calling
// thread's Tesseract handle for that data. Does not throw but for memory.
std::optional<UprightTurn> DetectUpright(const GreyPicture& picture, int dpi);

}  // namespace vellumark::imaging
