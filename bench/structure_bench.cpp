// Book-structure analysis: time per page and memory held per page for typeset novels of growing
// length, against the OCR time of the same pages (scanned at 300 dpi in 11 point type).
//   structure_bench [--ocr-pages N]   (default 4; 0 skips OCR)
// The analysis keeps only each page's lines, so the memory per page stays flat with length.

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <string>

#include "imaging/Document.h"
#include "imaging/text/TextLayer.h"
#include "structure/BookStructure.h"
#include "tools/SampleScan.h"
#include "tools/TypesetBook.h"

using namespace vellumark;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

struct Measure {
    int pages = 0;
    double secondsPerPage = 0;
    double bytesPerPage = 0;
    std::size_t headings = 0;
};

Measure Analyse(const tools::TypesetBook& book) {
    Measure m;
    m.pages = static_cast<int>(book.pages.size());
    const std::size_t before = HeapInUse();
    const auto start = Clock::now();
    structure::BookAnalyser analyser;
    for (const auto& words : book.pages)
        analyser.AddPage(words, book.width, book.height);
    const std::size_t held = HeapInUse() - before;
    const structure::BookStructure found = analyser.Finish();
    m.secondsPerPage = Seconds(start) / m.pages;
    m.bytesPerPage = static_cast<double>(held) / m.pages;
    m.headings = found.headings.size();
    return m;
}

// Tesseract on the first `count` pages after the front matter, one thread.
double OcrSecondsPerPage(const tools::TypesetBook& book, int count) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("structure_bench_" + std::to_string(getpid()) + ".tif");
    std::vector<tools::BilevelPage> pages;
    for (int i = 0; i < count; ++i) {
        const auto& words = book.pages[static_cast<std::size_t>(10 + i) % book.pages.size()];
        pages.push_back(tools::RenderWords(words, book.width, book.height, 2.4));
    }
    tools::WriteScan(path, pages);
    double seconds = 0;
    {
        std::shared_ptr<const imaging::Document> document = imaging::Document::Open(path);
        const imaging::TextLayer text(document);
        const auto start = Clock::now();
        imaging::ReadAllPages(text, 1);
        seconds = Seconds(start) / count;
    }
    std::filesystem::remove(path);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    std::cout << std::unitbuf;
    int ocrPages = 4;
    if (argc == 3 && std::string(argv[1]) == "--ocr-pages")
        ocrPages = std::max(0, std::atoi(argv[2]));

    std::cout << "pages   ms/page   KB held/page   headings\n";
    double perPage = 0;
    for (int copies : {1, 10, 50, 200}) {
        tools::TypesetOptions options;
        options.chapterCopies = copies;
        const tools::TypesetBook book = tools::TypesetNovel(options);
        const Measure m = Analyse(book);
        perPage = m.secondsPerPage;
        std::cout << std::setw(5) << m.pages << std::fixed << std::setprecision(3) << std::setw(10)
                  << m.secondsPerPage * 1000 << std::setprecision(1) << std::setw(15)
                  << m.bytesPerPage / 1024 << std::setw(11) << m.headings << "\n";
    }
    if (ocrPages > 0) {
        const double ocr = OcrSecondsPerPage(tools::TypesetNovel(), ocrPages);
        std::cout << "OCR (Tesseract, one thread, 300 dpi): " << std::setprecision(2) << ocr
                  << " s/page; analysis: " << std::setprecision(4) << 100 * perPage / ocr
                  << "% of it\n";
    }
    return 0;
}
