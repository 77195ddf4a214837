// The reflowable edition's cost: the OCR of the pages, and what building the book takes beyond
// it (finding the pictures, the structure, the text's flow, the documents and the archive), on
// one thread and on two; then the peak memory of whole conversions of a short and a three times
// longer book, which should be about the same.
//   reflow_bench [--copies N]   (the typeset sample book's 7 pages N times; default 2)

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "BenchSupport.h"
#include "imaging/Document.h"
#include "imaging/text/TextLayer.h"
#include "tools/ReflowSample.h"

using namespace vellumark;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void WriteSample(const std::filesystem::path& path, int copies) {
    const std::vector<tools::BilevelPage> pages =
        tools::RenderReflowSample(tools::TypesetReflowSample(), 2.4);
    std::vector<tools::BilevelPage> all;
    for (int c = 0; c < copies; ++c)
        all.insert(all.end(), pages.begin(), pages.end());
    tools::WriteScan(path, all);
}

// Makes a reflowable book, its words read by `text`.
void Reflow(const std::filesystem::path& scan, const std::filesystem::path& output, unsigned jobs,
            std::shared_ptr<const imaging::TextLayer> text) {
    bench::RunConvert(scan, output, jobs, [&](epub::ConversionSettings& settings) {
        settings.format = epub::BookFormat::Reflow;
        settings.ocrLanguage = "eng";
        settings.text = text;
    });
}

std::shared_ptr<const imaging::TextLayer> FreshText(const std::filesystem::path& scan) {
    return std::make_shared<const imaging::TextLayer>(imaging::Document::Open(scan));
}

}  // namespace

int main(int argc, char** argv) {
    std::cout << std::unitbuf;
    int copies = 2;
    if (argc == 3 && std::string(argv[1]) == "--copies")
        copies = std::max(1, std::atoi(argv[2]));
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("reflow_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path scan = folder / "sample.tif";
    WriteSample(scan, copies);
    const int pages = imaging::Document::Open(scan)->PageCount();
    std::cout << pages << " typeset pages at 300 dpi (the sample book " << copies << " times)\n";

    for (unsigned jobs : {1u, 2u}) {
        const std::shared_ptr<const imaging::TextLayer> text = FreshText(scan);
        auto start = Clock::now();
        imaging::ReadAllPages(*text, jobs);
        const double ocr = Seconds(start);
        // The words are known now: what is left is the reflowable book's own work.
        start = Clock::now();
        Reflow(scan, folder / "out", jobs, text);
        const double book = Seconds(start);
        std::printf(
            "  %u job%s: OCR %.2f s, the book beyond it %.3f s (%.1f%% of the OCR), "
            "%.2f pages/s in all\n",
            jobs, jobs == 1 ? " " : "s", ocr, book, 100.0 * book / ocr, pages / (ocr + book));
    }

    // Memory: a whole conversion (OCR included) of a short book and of one three times as long.
    const std::filesystem::path longer = folder / "longer.tif";
    WriteSample(longer, 3 * copies);
    for (const auto& [path, count] : {std::pair{scan, pages}, std::pair{longer, 3 * pages}}) {
        const bench::Measure m = bench::InChild([&path = path, &folder] {
            Reflow(path, folder / "out", 2, FreshText(path));
            return bench::Sizes{};
        });
        bench::Print("reflow, 2 jobs", count, m);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
