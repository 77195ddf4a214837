#pragma once
// Running heads and folios: the lines in a page's top or bottom margin, apart from the text,
// that recur across pages (odd and even pages apart, as books set a different head on each) or
// carry the page's number. They are marked so that nothing takes them for content or headings.

#include <string>
#include <vector>

#include "structure/PageLines.h"
#include "structure/PageNumbers.h"

namespace vellumark::structure {

// The lines of a page's top row and bottom row when those stand apart from the text below or
// above them (indices into page.lines).
std::vector<int> MarginLines(const PageLines& page);

// The numbers a margin line may carry as a folio: the whole line, or its first or last word.
std::vector<PageNumber> FolioCandidates(const TextLine& line);

struct MarginLine {
    int page = 0;
    int line = 0;  // index into the page's lines
    bool top = true;
    std::string text;
    std::vector<std::string> words;
};

// Which margin lines are running heads or folios. `labels` are the pages' fitted labels: a line
// that carries its page's label is one even when its text is seen once.
std::vector<MarginLine> FindRunningHeads(const std::vector<MarginLine>& margins,
                                         const std::vector<std::string>& labels);

}  // namespace vellumark::structure
