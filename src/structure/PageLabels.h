#pragma once
// Fitting the folios read on each page to sequences, so that every page inside a sequence gets
// the label its neighbours imply (chapter openers and plates print none, OCR misreads some) and
// pages outside any sequence get none.

#include <string>
#include <vector>

#include "structure/PageNumbers.h"

namespace vellumark::structure {

struct PageFolios {
    std::vector<PageNumber> candidates;  // numbers read where a folio may stand
    bool blank = false;                  // no words at all
};

// One label per page ("" for none).
std::vector<std::string> FitPageLabels(const std::vector<PageFolios>& pages);

}  // namespace vellumark::structure
