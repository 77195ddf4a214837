// OCR and search speed: time per A4 300 dpi page, and a search over a generated document read
// the first time and again from the cache, on one thread and on all cores.
//   ocr_bench [--pages N]   (default 50)
// Tesseract may use OpenMP inside one page; set OMP_THREAD_LIMIT=1 to compare without it.

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "common/Jobs.h"
#include "imaging/Document.h"
#include "imaging/text/DocSearch.h"
#include "imaging/text/TextLayer.h"
#include "tools/SampleScan.h"

using namespace vellumark;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// A search that finds nothing reads every page, like the last "Find Next" of a document.
double TimeSearch(const imaging::TextLayer& text, int jobs) {
    const auto start = Clock::now();
    if (jobs > 1)
        imaging::ReadAllPages(text, static_cast<unsigned>(jobs));
    const auto hits = imaging::FindAll(
        text.PageCount(), [&](int page) { return text.Words(page); }, "unicorn");
    if (!hits.empty())
        std::cerr << "unexpected hit\n";
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    std::cout << std::unitbuf;
    int pages = 50;
    if (argc == 3 && std::string(argv[1]) == "--pages")
        pages = std::max(1, std::atoi(argv[2]));
    const int cores = static_cast<int>(vellumark::ResolveJobs(0));
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("ocr_bench_" + std::to_string(getpid()) + ".tif");

    std::cout << "Generating " << pages << " A4 pages at 300 dpi (about 380 words each)...\n";
    {
        tools::PageLayout layout;
        std::vector<tools::BilevelPage> rendered;
        for (int i = 0; i < pages; ++i) {
            layout.seed = static_cast<unsigned>(i + 1);
            rendered.push_back(tools::RenderPage(
                tools::WrapParagraph(tools::FillerText(layout.seed, 380), 12, layout), layout));
        }
        tools::WriteScan(path, rendered);
    }
    std::shared_ptr<const imaging::Document> document = imaging::Document::Open(path);
    const char* ompLimit = std::getenv("OMP_THREAD_LIMIT");
    std::cout << "cores: " << cores << ", OMP_THREAD_LIMIT=" << (ompLimit ? ompLimit : "(unset)")
              << "\n";

    {
        // The first page pays for starting Tesseract; the next three show the steady rate.
        const imaging::TextLayer text(document);
        auto start = Clock::now();
        const auto words = text.Words(0);
        std::cout << "first page (Tesseract start included): " << Seconds(start) << " s, "
                  << words.size() << " words\n";
        const int sample = std::min(3, pages - 1);
        if (sample > 0) {
            start = Clock::now();
            for (int page = 1; page <= sample; ++page)
                text.Words(page);
            std::cout << "OCR per A4 300 dpi page (decode, resample, recognise): "
                      << Seconds(start) / sample << " s\n";
        }
    }
    for (int jobs : {1, cores}) {
        const imaging::TextLayer text(document);
        const double first = TimeSearch(text, jobs);
        const double second = TimeSearch(text, jobs);
        std::cout << "search over " << pages << " pages, " << jobs << " thread(s): first " << first
                  << " s, second (cached) " << second * 1000 << " ms\n";
        if (cores == 1)
            break;
    }
    std::filesystem::remove(path);
    return 0;
}
