#pragma once
// The word-recognition module: Tesseract, and the few dozen libraries it needs, are loaded when
// words are first read, not by every run of the program (linked in, they made up a quarter of
// its start). The module gives its functions through one entry point; Ocr.cpp loads it.

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "imaging/text/Ocr.h"

namespace vellumark::imaging {

// The module's file, beside the program in a build and in lib/vellumark/plugins once installed.
inline constexpr const char* kOcrModuleFile = "libvellumark_ocr.so";
// The name of its entry point, `const OcrFunctions* VellumarkOcrFunctions()`.
inline constexpr const char* kOcrModuleEntry = "VellumarkOcrFunctions";

// What the module does, with the promises of the functions in Ocr.h they serve. Its errors are
// vellumark::Error, as theirs.
struct OcrFunctions {
    // The names of every data file Tesseract has: languages and the orientation data.
    std::vector<std::string> (*installedData)();
    std::vector<Word> (*recogniseWords)(const GreyPicture& picture, int dpi,
                                        const std::string& language,
                                        const std::atomic<bool>* cancel);
    std::optional<UprightTurn> (*detectUpright)(const GreyPicture& picture, int dpi);
};

}  // namespace vellumark::imaging
