// A shelf in one run against the same books one at a time: 20 copies of the 50-page bilevel
// benchmark document (1,000 A4 300 dpi pages) converted with --jobs 1 and --jobs 2, as one
// shelf (one pool of cores across the books) and as a loop of single conversions, with pages
// per second, the speed-up of two jobs and the peak memory against a shelf of 2 documents.
// Each run is a child process of its own; the best of the rounds counts.
//
//   shelf_bench [--books N] [--pages N] [--rounds R]

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "common/Heap.h"
#include "epub/Shelf.h"

namespace {
using namespace vellumark;
using namespace vellumark::bench;

class Silent final : public epub::ShelfObserver {
public:
    void BookDone(const epub::BookReport& report) override {
        if (report.outcome != epub::BookOutcome::Converted)
            std::fprintf(stderr, "%s: %s\n", report.input.c_str(), report.message.c_str());
    }
};

Sizes RunShelf(const std::vector<fs::path>& inputs, const fs::path& out, unsigned jobs) {
    KeepPageBuffersInHeap();  // as the program does, first thing
    fs::remove_all(out);
    fs::create_directories(out);
    std::vector<epub::ShelfBook> books;
    for (const fs::path& input : inputs)
        books.push_back({input, input.stem().string(), "bench", {}, {}});
    epub::ShelfSettings settings;
    settings.book.outputFolder = out.string();
    settings.book.jobs = jobs;
    Silent observer;
    const epub::ShelfSummary summary = epub::ConvertShelf(books, settings, observer);
    if (summary.converted != static_cast<int>(books.size()))
        throw std::runtime_error("a book was not converted");
    Sizes sizes;
    for (const auto& entry : fs::directory_iterator(out))
        sizes.deflatedBytes += fs::file_size(entry.path());
    return sizes;
}

Sizes RunOneByOne(const std::vector<fs::path>& inputs, const fs::path& out, unsigned jobs) {
    fs::remove_all(out);
    fs::create_directories(out);
    Sizes sizes;
    for (const fs::path& input : inputs) {
        fs::create_directories(out / input.stem());
        sizes.deflatedBytes += RunConvert(input, out / input.stem(), jobs).deflatedBytes;
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    int books = 20, pages = 50, rounds = 2;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int value = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--books") == 0) {
            books = value;
        } else if (std::strcmp(argv[i], "--pages") == 0) {
            pages = value;
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = value;
        } else {
            std::fprintf(stderr, "usage: shelf_bench [--books N] [--pages N] [--rounds R]\n");
            return 2;
        }
    }
    TIFFSetWarningHandler(nullptr);
    const fs::path folder = fs::temp_directory_path() / ("shelf_bench-" + std::to_string(getpid()));
    const fs::path out = folder / "out";
    try {
        fs::create_directories(folder / "shelf");
        WriteDocument(folder / "shelf" / "book00.tif", pages);
        std::vector<fs::path> inputs = {folder / "shelf" / "book00.tif"};
        for (int i = 1; i < books; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "book%02d.tif", i);
            fs::copy_file(inputs[0], folder / "shelf" / name);
            inputs.push_back(folder / "shelf" / name);
        }
        const int total = books * pages;
        std::printf("%d books of %d A4 300 dpi G4 pages (%d pages); best of %d rounds\n", books,
                    pages, total, rounds);
        Measure shelf1, shelf2, loop1, loop2;
        for (int round = 0; round < rounds; ++round) {
            shelf1 = Best(shelf1, InChild([&] { return RunShelf(inputs, out, 1); }));
            shelf2 = Best(shelf2, InChild([&] { return RunShelf(inputs, out, 2); }));
            loop1 = Best(loop1, InChild([&] { return RunOneByOne(inputs, out, 1); }));
            loop2 = Best(loop2, InChild([&] { return RunOneByOne(inputs, out, 2); }));
        }
        Print("shelf, --jobs 1", total, shelf1);
        Print("shelf, --jobs 2", total, shelf2);
        Print("one by one, --jobs 1", total, loop1);
        Print("one by one, --jobs 2", total, loop2);
        std::printf("  shelf: --jobs 2 is %.3fx faster than --jobs 1 (one by one: %.3fx)\n",
                    shelf1.seconds / shelf2.seconds, loop1.seconds / loop2.seconds);
        const std::vector<fs::path> two(inputs.begin(), inputs.begin() + std::min(2, books));
        const Measure small = InChild([&] { return RunShelf(two, out, 2); });
        Print("shelf of 2, --jobs 2", 2 * pages, small);
        std::printf("  peak memory: %.1f MB for %d books, %.1f MB for 2\n", shelf2.peakKb / 1024.0,
                    books, small.peakKb / 1024.0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "shelf_bench: %s\n", e.what());
        fs::remove_all(folder);
        return 1;
    }
    fs::remove_all(folder);
    return 0;
}
