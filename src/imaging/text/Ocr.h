#pragma once
// Word recognition with Tesseract and its English data.

#include <atomic>
#include <cstdint>
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

}  // namespace vellumark::imaging
