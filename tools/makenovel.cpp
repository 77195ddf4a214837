// makenovel OUT.tif: a typeset novel (title page, contents, roman front matter, chapters,
// running heads) scanned at 300 dpi in 11 point type, for trying `vellumark outline` and `convert
// --ocr`.

#include <exception>
#include <iostream>

#include "tools/SampleScan.h"
#include "tools/TypesetBook.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: makenovel OUT.tif\n";
        return 2;
    }
    try {
        namespace tools = vellumark::tools;
        const tools::TypesetBook book = tools::TypesetNovel();
        std::vector<tools::BilevelPage> pages;
        for (const auto& words : book.pages)
            pages.push_back(tools::RenderWords(words, book.width, book.height, 2.4));
        tools::WriteScan(argv[1], pages);
    } catch (const std::exception& e) {
        std::cerr << "makenovel: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
