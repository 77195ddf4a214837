#include "structure/BookStructure.h"

#include <algorithm>

#include "structure/ContentsPage.h"
#include "structure/Headings.h"
#include "structure/PageLabels.h"
#include "structure/RunningHeads.h"

namespace vellumark::structure {
namespace {

// A table of contents of one entry says less than the page list.
constexpr std::size_t kMinEntries = 2;

// The letter size of the book's text: the median over lines of several words.
int BodySize(const std::vector<PageLines>& pages, const std::vector<std::vector<bool>>& marked) {
    std::vector<int> sizes;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        for (std::size_t i = 0; i < pages[p].lines.size(); ++i) {
            const TextLine& line = pages[p].lines[i];
            if (!marked[p][i] && line.hasBox && line.words.size() >= 3)
                sizes.push_back(line.size);
        }
    }
    if (sizes.empty())
        return 0;
    std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
    return sizes[sizes.size() / 2];
}

bool EndsInNumber(const std::string& title) {
    const std::size_t space = title.rfind(' ');
    return space != std::string::npos && ReadPageNumber(title.substr(space + 1)).has_value();
}

}  // namespace

void BookAnalyser::AddPage(const std::vector<imaging::Word>& words, int width, int height) {
    pages_.push_back(LinesOf(words, width, height));
}

BookStructure BookAnalyser::Finish() const {
    BookStructure book;
    book.pageCount = PageCount();
    std::vector<PageFolios> folios(pages_.size());
    std::vector<MarginLine> margins;
    for (int p = 0; p < book.pageCount; ++p) {
        const PageLines& page = pages_[static_cast<std::size_t>(p)];
        folios[static_cast<std::size_t>(p)].blank = page.lines.empty();
        for (int i : MarginLines(page)) {
            const TextLine& line = page.lines[static_cast<std::size_t>(i)];
            for (const PageNumber& number : FolioCandidates(line))
                folios[static_cast<std::size_t>(p)].candidates.push_back(number);
            const bool top = line.top + line.bottom < page.height;
            margins.push_back({p, i, top, line.text, line.words});
        }
    }
    book.labels = FitPageLabels(folios);

    std::vector<std::vector<bool>> marked(pages_.size());
    for (std::size_t p = 0; p < pages_.size(); ++p)
        marked[p].assign(pages_[p].lines.size(), false);
    for (const MarginLine& head : FindRunningHeads(margins, book.labels)) {
        marked[static_cast<std::size_t>(head.page)][static_cast<std::size_t>(head.line)] = true;
        book.runningHeads.push_back({head.page, head.text});
    }

    const int bodySize = BodySize(pages_, marked);
    std::vector<Heading> found = FindHeadings(pages_, marked, bodySize);
    const std::vector<ContentsEntry> entries =
        ReadContents(pages_, marked, bodySize, book.contentsPages);
    // The contents page's own entries are not headings of the book.
    std::erase_if(found, [&](const Heading& h) {
        return std::find(book.contentsPages.begin(), book.contentsPages.end(), h.page) !=
                   book.contentsPages.end() &&
               EndsInNumber(h.title);
    });
    book.pageHeadings = found;
    book.marginLines = marked;
    const int contentsEnd = book.contentsPages.empty() ? -1 : book.contentsPages.back();
    std::vector<Heading> placed = PlaceContents(entries, book.labels, found, contentsEnd);
    if (placed.size() >= kMinEntries) {
        book.headings = std::move(placed);
        book.source = TocSource::Contents;
    } else if (found.size() >= kMinEntries) {
        book.headings = std::move(found);
        book.source = TocSource::Headings;
    }
    return book;
}

}  // namespace vellumark::structure
