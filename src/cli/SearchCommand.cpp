// vellumark search INPUT WORD [--jobs N]: every hit of a word in a scan, through OCR.

#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/ParsedArguments.h"
#include "cli/TerminalProgress.h"
#include "imaging/ScanDocument.h"
#include "imaging/text/DocSearch.h"
#include "imaging/text/TextLayer.h"

namespace vellumark::cli {
namespace {

std::string Describe(const imaging::Hit& hit) {
    // Pages and words are counted from 1, like every counter the program shows.
    std::string line = "page " + std::to_string(hit.page + 1);
    if (hit.words.size() == 1) {
        line += ", word " + std::to_string(hit.words.front() + 1);
    } else if (!hit.words.empty()) {
        line += ", words " + std::to_string(hit.words.front() + 1) + "-" +
                std::to_string(hit.words.back() + 1);
    }
    return line + ": " + hit.text;
}

}  // namespace

int RunSearch(const ParsedArguments& arguments) {
    const std::string& input = arguments.Operands()[0];
    const std::string& word = arguments.Operands()[1];
    const unsigned jobs = arguments.Count(Option::Jobs, 0);
    std::shared_ptr<const imaging::ScanDocument> document =
        imaging::OpenScanDocument(input, RenderDpiOf(arguments));
    const imaging::TextLayer text(document);
    {
        TerminalProgress progress;
        imaging::ReadAllPages(text, jobs, [&](int done, int total) {
            progress.Show(static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(total),
                          "Reading page " + std::to_string(done) + "/" + std::to_string(total));
        });
    }
    const auto hits = imaging::FindAll(
        text.PageCount(), [&](int page) { return text.Words(page); }, word);
    for (const imaging::Hit& hit : hits)
        std::cout << Describe(hit) << "\n";
    std::cout << std::flush;
    return 0;
}

}  // namespace vellumark::cli
