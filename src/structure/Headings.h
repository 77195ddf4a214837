#pragma once
// Headings: lines set apart from the text by size, space and position (the first lines of a
// chapter's opening page), or by their pattern ("Chapter 7", "PART TWO", a lone roman numeral,
// "3.2 Results"), with levels ranked from their kind and size.

#include <vector>

#include "structure/BookStructure.h"
#include "structure/PageLines.h"

namespace vellumark::structure {

enum class HeadingKind { None, Part, Chapter, Display, Section };

struct HeadingPattern {
    HeadingKind kind = HeadingKind::None;
    int depth = 0;  // numbered sections: 2 for "3.2"
};

// The pattern of a line's words alone ("Chapter 7", "PART TWO", "IV", "3.2 Results").
HeadingPattern PatternOf(const std::vector<std::string>& words);

// `marked[page][line]` is set for running heads and folios, which are never headings.
// `bodySize` is the letter size of the book's text.
std::vector<Heading> FindHeadings(const std::vector<PageLines>& pages,
                                  const std::vector<std::vector<bool>>& marked, int bodySize);

}  // namespace vellumark::structure
