// Writes the bundled sample scan, or a longer generated one for trying the program out.
//   makesample OUTPUT [--pages N] [--mdi] [--scanned]

#include <exception>
#include <iostream>
#include <string>

#include "tools/SampleScan.h"
#include "tools/ScannedSheet.h"

using namespace vellumark::tools;

int main(int argc, char** argv) {
    std::string output;
    int extraPages = 0;
    WriteOptions options;
    bool scanned = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pages" && i + 1 < argc) {
            extraPages = std::stoi(argv[++i]);
        } else if (arg == "--mdi") {
            options.mdi = true;
        } else if (arg == "--scanned") {
            scanned = true;
        } else if (output.empty() && !arg.starts_with("--")) {
            output = arg;
        } else {
            output.clear();
            break;
        }
    }
    if (output.empty() || extraPages < 0) {
        std::cerr << "Usage: makesample OUTPUT [--pages N] [--mdi] [--scanned]\n"
                     "Writes the three-page sample scan, followed by N pages of filler text;\n"
                     "with --scanned, N pages (at least 4) as a scanner delivers them: askew,\n"
                     "in dark borders, a two-page spread and a page scanned sideways.\n";
        return 2;
    }
    try {
        if (scanned) {
            WriteScan(output, ScannedBook(extraPages), options);
            return 0;
        }
        PageLayout layout;
        std::vector<BilevelPage> pages;
        unsigned seed = 1;
        for (const auto& lines : SampleDocument(layout)) {
            layout.specks = 40;
            layout.seed = seed++;
            pages.push_back(RenderPage(lines, layout));
        }
        for (int i = 0; i < extraPages; ++i) {
            layout.seed = seed++;
            pages.push_back(
                RenderPage(WrapParagraph(FillerText(layout.seed, 380), 12, layout), layout));
        }
        WriteScan(output, pages, options);
    } catch (const std::exception& e) {
        std::cerr << "makesample: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
