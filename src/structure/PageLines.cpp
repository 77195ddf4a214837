#include "structure/PageLines.h"

#include <algorithm>

namespace vellumark::structure {
namespace {

bool HasLetterOrDigit(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
               static_cast<unsigned char>(c) >= 0x80;
    });
}

}  // namespace

PageLines LinesOf(const std::vector<imaging::Word>& words, int width, int height) {
    PageLines page;
    page.width = width;
    page.height = height;
    const imaging::Word* previous = nullptr;
    for (const imaging::Word& word : words) {
        if (word.text.empty())
            continue;
        if (previous == nullptr || word.block != previous->block || word.line != previous->line) {
            TextLine line;
            line.block = word.block;
            line.left = word.left;
            line.top = word.top;
            line.right = word.left + word.width;
            line.bottom = word.top + word.height;
            page.lines.push_back(std::move(line));
        }
        TextLine& line = page.lines.back();
        if (!line.text.empty())
            line.text += ' ';
        line.text += word.text;
        line.words.push_back(word.text);
        if (word.hasBox) {
            if (!line.hasBox) {
                line.left = word.left;
                line.top = word.top;
                line.right = word.left + word.width;
                line.bottom = word.top + word.height;
            }
            line.hasBox = true;
            line.left = std::min(line.left, word.left);
            line.top = std::min(line.top, word.top);
            line.right = std::max(line.right, word.left + word.width);
            line.bottom = std::max(line.bottom, word.top + word.height);
            // Punctuation OCR boxes loosely ("_", "|") says nothing of the letters' size.
            if (HasLetterOrDigit(word.text))
                line.size = std::max(line.size, word.height);
        }
        previous = &word;
    }
    return page;
}

}  // namespace vellumark::structure
