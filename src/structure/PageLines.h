#pragma once
// A page's words gathered into lines: the only part of a page the book's structure keeps, so
// that a whole book costs its text and a box per line.

#include <string>
#include <vector>

#include "imaging/text/TextLayer.h"

namespace vellumark::structure {

struct TextLine {
    std::string text;  // the words joined by single spaces
    std::vector<std::string> words;
    int left = 0, top = 0, right = 0, bottom = 0;
    int size = 0;  // the tallest word's height: a letter size that ascenders and descenders fix
    int block = 0;
    bool hasBox = false;
};

struct PageLines {
    std::vector<TextLine> lines;  // in reading order
    int width = 0;
    int height = 0;
};

// Words of one (block, line) next to each other make a line, as the text layer gives them.
PageLines LinesOf(const std::vector<imaging::Word>& words, int width, int height);

}  // namespace vellumark::structure
