#pragma once
// A book's text as one flow for a reflowable edition: paragraphs rebuilt from the printed lines
// (across columns and pages), words broken at a line's end joined again, running heads and
// folios left out, headings with their levels, the pictures of the pages where they stand with
// their captions, and where each page begins.

#include <cstddef>
#include <string>
#include <vector>

#include "structure/BookStructure.h"
#include "structure/PageLines.h"

namespace vellumark::structure {

// A region of a page that holds ink but no text, in the page's (the words') pixels.
struct PictureBox {
    int left = 0, top = 0, width = 0, height = 0;
};

enum class FlowKind {
    PageStart,  // a page begins between two items
    Heading,
    Paragraph,
    Figure,
};

// A page that begins inside a paragraph: at this byte of its text (before a word).
struct PageMark {
    std::size_t offset = 0;
    int page = 0;
};

struct FlowItem {
    FlowKind kind = FlowKind::Paragraph;
    int page = 0;      // the page it starts on (PageStart: the page that begins)
    int level = 0;     // Heading: 1 to 3
    std::string text;  // Heading, Paragraph: the words; Figure: its caption ("" for none)
    int picture = -1;  // Figure: index into its page's pictures
    std::vector<PageMark> pageMarks;  // Paragraph: the pages that begin inside it
};

// The deepest heading level of the flow: deeper headings are shown at this one.
inline constexpr int kDeepestFlowHeading = 3;

// `pages` are the book's lines (BookAnalyser::Pages), `book` its structure found over them, and
// `pictures[p]` the picture regions of page p (may be shorter than the pages). Every page gets
// exactly one PageStart or PageMark, in page order.
std::vector<FlowItem> FlowOf(const BookStructure& book, const std::vector<PageLines>& pages,
                             const std::vector<std::vector<PictureBox>>& pictures);

}  // namespace vellumark::structure
