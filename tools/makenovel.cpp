// makenovel [--reflow] OUT.tif: a typeset novel (title page, contents, roman front matter,
// chapters, running heads) scanned at 300 dpi in 11 point type, for trying `vellumark outline` and
// `convert --ocr`; with --reflow, a short book of justified, hyphenated paragraphs with a figure, a
// table and a two-column page, for trying `convert --format reflow`.

#include <exception>
#include <iostream>
#include <string_view>

#include "tools/ReflowSample.h"
#include "tools/SampleScan.h"
#include "tools/TypesetBook.h"

int main(int argc, char** argv) {
    const bool reflow = argc == 3 && std::string_view(argv[1]) == "--reflow";
    if (argc != 2 && !reflow) {
        std::cerr << "usage: makenovel [--reflow] OUT.tif\n";
        return 2;
    }
    try {
        namespace tools = vellumark::tools;
        std::vector<tools::BilevelPage> pages;
        if (reflow) {
            pages = tools::RenderReflowSample(tools::TypesetReflowSample(), 2.4);
        } else {
            const tools::TypesetBook book = tools::TypesetNovel();
            for (const auto& words : book.pages)
                pages.push_back(tools::RenderWords(words, book.width, book.height, 2.4));
        }
        tools::WriteScan(argv[argc - 1], pages);
    } catch (const std::exception& e) {
        std::cerr << "makenovel: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
