#pragma once
// The words of typeset books, as OCR would give them, with their true structure: for testing
// and measuring the book-structure analysis without pictures. Pages are laid out as a printer
// sets a novel: a title page, a blank verso, a contents page, front matter with roman folios,
// part and chapter openers without folios, running heads that differ on left and right pages,
// numbered sections, a two-column chapter, and folios OCR misread now and then.

#include <string>
#include <utility>
#include <vector>

#include "imaging/text/TextLayer.h"

namespace vellumark::tools {

struct TrueHeading {
    int page = 0;  // 0-based scan page
    int level = 1;
    std::string title;
};

struct TypesetBook {
    int width = 1200;  // every page's size, in the words' pixels
    int height = 1800;
    std::vector<std::vector<imaging::Word>> pages;
    std::vector<std::string> labels;    // the label each page really has ("" for none)
    std::vector<TrueHeading> contents;  // the printed contents' entries, at their pages
    std::vector<TrueHeading> headings;  // the headings as the pages print them
    std::vector<std::pair<int, std::string>> runningHeads;  // page, text (folios apart)
};

struct TypesetOptions {
    bool contentsPage = true;  // else an epigraph stands in its place
    bool misreads = true;      // folios as OCR misreads them ("l7"), one lost, one wrong
    int chapterCopies = 1;     // the chapters repeated, for long books (the bench)
};

TypesetBook TypesetNovel(const TypesetOptions& options = {});
// Pages of running text only: no headings, no folios, no running heads.
TypesetBook PlainBook(int pageCount);

}  // namespace vellumark::tools
