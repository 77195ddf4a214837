#pragma once
// A short typeset book with its true text, for testing and measuring the reflowable edition: a
// chapter opener, running heads and folios, justified paragraphs with words hyphenated at line
// ends (compounds among them broken at their own hyphen) running across pages, a section
// heading, a figure with its caption, a two-column page and a small table.

#include <string>
#include <vector>

#include "imaging/text/TextLayer.h"
#include "tools/SampleScan.h"

namespace vellumark::tools {

struct SampleFigure {
    int page = 0;
    int left = 0, top = 0, width = 0, height = 0;  // in the words' pixels
    std::string caption;
};

// What a reader of the book reads, in order: headings, paragraphs (words whole, as the book
// would print them unbroken) and figure captions.
struct SampleBlock {
    enum class Kind { Heading, Paragraph, Caption };
    Kind kind = Kind::Paragraph;
    int level = 0;  // headings
    std::string text;
};

struct ReflowSample {
    int width = 1200;  // every page's size, in the words' pixels
    int height = 1800;
    std::vector<std::vector<imaging::Word>> pages;  // as printed: heads, folios, broken words
    std::vector<std::string> labels;                // the folio each page has
    std::vector<std::string> runningHeads;          // the heads' texts
    std::vector<SampleFigure> figures;
    std::vector<SampleBlock> blocks;
    std::vector<std::string> brokenWords;      // words broken at a line's end, whole
    std::vector<std::string> brokenCompounds;  // compounds broken at their hyphen ("well-known")
};

ReflowSample TypesetReflowSample();

// The pages drawn `scale` times larger (300 dpi for 2.4), the figures as line art.
std::vector<BilevelPage> RenderReflowSample(const ReflowSample& sample, double scale);

}  // namespace vellumark::tools
