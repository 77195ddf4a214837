// Finds a book's structure in arbitrary words and lays out its text: whatever the words (any
// bytes, boxes anywhere, lines in any number), the only way out must be a vellumark::Error, and
// the results must keep their promises: a label and margin flags for every page, headings in
// page order on pages of the book, and every page begun exactly once in the text's flow. Words
// come from OCR and from text files store (a DjVu page's, an MDI file's), unchecked.
//
// The input, read as far as it goes: a page count, then per page its size, its word count and
// words (text of up to 15 bytes, box, whether the box is given, whether a new line or block
// starts), then picture boxes; what follows is read as a contents file the user wrote.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Require.h"
#include "common/Error.h"
#include "structure/BookStructure.h"
#include "structure/FlowText.h"
#include "structure/TocFile.h"

namespace {

using vellumark::fuzz::Require;
using namespace vellumark::structure;

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    int Byte() { return at_ < size_ ? data_[at_++] : 0; }
    int Short() { return Byte() << 8 | Byte(); }
    std::string Text(std::size_t length) {
        length = std::min(length, size_ - std::min(at_, size_));
        std::string text(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return text;
    }
    std::string_view Rest() const {
        return at_ < size_
                   ? std::string_view(reinterpret_cast<const char*>(data_ + at_), size_ - at_)
                   : std::string_view();
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const int pageCount = 1 + in.Byte() % 48;
    BookAnalyser analyser;
    for (int page = 0; page < pageCount; ++page) {
        const int width = 1 + in.Short(), height = 1 + in.Short();
        const int wordCount = in.Byte() % 64;
        std::vector<vellumark::imaging::Word> words;
        int block = 0, line = 0;
        for (int w = 0; w < wordCount && !in.Empty(); ++w) {
            const int flags = in.Byte();
            vellumark::imaging::Word word;
            word.text = in.Text(flags & 15);
            word.hasBox = flags & 16;
            if (w > 0 && (flags & 32)) {
                ++line;
                block += (flags >> 6) & 1;
            }
            word.block = block;
            word.line = line;
            word.left = in.Short() - 256;
            word.top = in.Short() - 256;
            word.width = in.Byte() * 4;
            word.height = in.Byte();
            words.push_back(std::move(word));
        }
        analyser.AddPage(words, width, height);
    }
    std::vector<std::vector<PictureBox>> pictures(static_cast<std::size_t>(in.Byte() % 4));
    for (auto& page : pictures)
        for (int count = in.Byte() % 3; count > 0; --count)
            page.push_back({in.Short(), in.Short(), in.Short(), in.Short()});

    const BookStructure book = analyser.Finish();
    Require(book.pageCount == pageCount);
    Require(book.labels.size() == static_cast<std::size_t>(pageCount));
    Require(book.marginLines.size() == static_cast<std::size_t>(pageCount));
    for (int page = 0; page < pageCount; ++page)
        Require(book.marginLines[page].size() == analyser.Pages()[page].lines.size());
    for (std::size_t i = 0; i < book.headings.size(); ++i) {
        const Heading& heading = book.headings[i];
        Require(heading.page >= 0 && heading.page < pageCount);
        Require(i == 0 || book.headings[i - 1].page <= heading.page);
        // What `outline` prints is read back as it was.
        const auto back = ParseTocFile(TocFileLine(heading, book.labels), "toc");
        Require(back.size() == 1 && back[0].level == heading.level);
        Require(ResolveTocFile(back, book.labels, pageCount, "toc").at(0).page == heading.page);
    }

    // Every page begins once, in order: as a PageStart between items or inside a paragraph.
    int nextPage = 0;
    for (const FlowItem& item : FlowOf(book, analyser.Pages(), pictures)) {
        if (item.kind == FlowKind::PageStart)
            Require(item.page == nextPage++);
        for (const PageMark& mark : item.pageMarks) {
            Require(mark.page == nextPage++);
            Require(mark.offset <= item.text.size());
        }
    }
    Require(nextPage == pageCount);

    try {
        const auto entries = ParseTocFile(in.Rest(), "contents.txt");
        (void)ResolveTocFile(entries, book.labels, pageCount, "contents.txt");
    } catch (const vellumark::Error&) {
    }
    return 0;
}
