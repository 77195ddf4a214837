#include "epub/BookOutline.h"

#include "epub/FixedLayoutBook.h"
#include "epub/FixedLayoutPage.h"

namespace vellumark::epub {

std::optional<TocKind> ParseTocKind(std::string_view name) {
    if (name == "chapters")
        return TocKind::Chapters;
    if (name == "pages")
        return TocKind::Pages;
    return std::nullopt;
}

structure::BookStructure AnalyseBookText(const imaging::PageSource& pages,
                                         const imaging::TextLayer& text) {
    structure::BookAnalyser analyser;
    const int count = text.PageCount();
    for (int page = 0; page < count; ++page) {
        const imaging::PageShape shape = pages.Shape(page);
        analyser.AddPage(text.Words(page), shape.width, shape.height);
    }
    return analyser.Finish();
}

void DescribeOutline(const structure::BookStructure* found, const OutlineSettings& settings,
                     BookDescription& book) {
    book.chapters.clear();
    book.pageLabels.clear();
    if (found != nullptr)
        book.pageLabels = found->labels;
    std::vector<structure::Heading> headings;
    if (!settings.tocFile.empty()) {
        headings = structure::ResolveTocFile(settings.tocFile, book.pageLabels, book.pageCount,
                                             settings.tocFileName);
    } else if (found != nullptr && settings.toc == TocKind::Chapters) {
        headings = found->headings;
    }
    for (const structure::Heading& heading : headings)
        book.chapters.push_back({heading.page, heading.level, heading.title});
}

void MarkPageBreaks(const BookDescription& book, OrderedFiles& files) {
    for (std::size_t page = 0; page < book.pageLabels.size(); ++page) {
        const std::string& label = book.pageLabels[page];
        if (label.empty())
            continue;
        files.Amend(std::string(kContentPrefix) + FixedPageFile(static_cast<int>(page) + 1),
                    [&](std::vector<std::uint8_t>& bytes) {
                        const std::string marked =
                            WithPageBreak(std::string(bytes.begin(), bytes.end()), label);
                        bytes.assign(marked.begin(), marked.end());
                    });
    }
}

}  // namespace vellumark::epub
