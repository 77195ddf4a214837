// vellumark outline INPUT [--json] [--jobs N] [--ocr-lang L]: the book's own structure as a
// book made with --ocr would take it.

#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/OutlineReport.h"
#include "cli/ParsedArguments.h"
#include "cli/TerminalProgress.h"
#include "epub/BookOutline.h"
#include "imaging/ScanDocument.h"
#include "imaging/text/TextLayer.h"

namespace vellumark::cli {

int RunOutline(const ParsedArguments& arguments) {
    const std::string language =
        arguments.Value(Option::OcrLang).value_or(imaging::kDefaultOcrLanguage);
    imaging::CheckOcrLanguage(language);
    std::shared_ptr<const imaging::ScanDocument> document =
        imaging::OpenScanDocument(arguments.Operands()[0], RenderDpiOf(arguments));
    const imaging::TextLayer text(document, language);
    {
        TerminalProgress progress;
        imaging::ReadAllPages(text, arguments.Count(Option::Jobs, 0), [&](int done, int total) {
            progress.Show(static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(total),
                          "Reading page " + std::to_string(done) + "/" + std::to_string(total));
        });
    }
    const structure::BookStructure book = epub::AnalyseBookText(*document, text);
    std::cout << (arguments.Has(Option::Json) ? OutlineJson(book) : OutlineText(book))
              << std::flush;
    return 0;
}

}  // namespace vellumark::cli
