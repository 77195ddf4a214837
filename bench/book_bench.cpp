// What the book formats and the device profiles cost and give: for the bilevel and the colour
// benchmark documents, the time of a conversion and the size of the book, as EPUB 2, as EPUB 3
// at 96 pixels per inch and as EPUB 3 for each device profile; and the time per page of the OCR
// text layer with one thread and with all cores, with its peak memory for a short and a three
// times longer document. Each run is a child process of its own; the best of the rounds counts.
//
//   book_bench [--pages N] [--colour-pages N] [--ocr-pages N] [--rounds R] [--no-ocr]

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "common/Jobs.h"
#include "epub/DeviceProfiles.h"
#include "imaging/Document.h"
#include "imaging/text/TextLayer.h"
#include "tools/SampleScan.h"

namespace {
using namespace vellumark;
using namespace vellumark::bench;

struct Config {
    std::string name;
    std::function<void(epub::ConversionSettings&)> adjust;
};

std::vector<Config> Configs() {
    std::vector<Config> configs = {
        {"epub2", {}},
        {"epub3, 96 ppi", [](epub::ConversionSettings& s) { s.format = epub::BookFormat::Epub3; }},
    };
    for (const epub::DeviceProfile& profile : epub::DeviceProfiles()) {
        const epub::PageBox box = profile.screen;
        configs.push_back(
            {"epub3 " + std::string(profile.name), [box](epub::ConversionSettings& s) {
                 s.format = epub::BookFormat::Epub3;
                 s.pageBox = box;
             }});
    }
    return configs;
}

Measure BestOf(int rounds, const std::function<Sizes()>& work) {
    Measure best;
    for (int round = 0; round < rounds; ++round)
        best = Best(best, InChild(work));
    return best;
}

void CompareFormats(const std::string& title, const fs::path& document, int pages, int rounds,
                    const fs::path& out) {
    const double tiff = static_cast<double>(fs::file_size(document)) / 1e6;
    std::printf("%s: %d pages, TIFF %.2f MB; all cores; best of %d rounds\n", title.c_str(), pages,
                tiff, rounds);
    std::printf("  %-26s %8s %9s %9s %9s %8s\n", "book", "seconds", "pages/s", "MB", "vs TIFF",
                "peak MB");
    double epub2Seconds = 0;
    for (const Config& config : Configs()) {
        const Measure m =
            BestOf(rounds, [&] { return RunConvert(document, out, 0, config.adjust); });
        const double book = static_cast<double>(m.sizes.deflatedBytes) / 1e6;
        if (config.name == "epub2")
            epub2Seconds = m.seconds;
        std::printf("  %-26s %8.3f %9.1f %9.2f %8.2fx %8.1f%s\n", config.name.c_str(), m.seconds,
                    pages / m.seconds, book, book / tiff, m.peakKb / 1024.0,
                    m.ok ? "" : "  (FAILED)");
        if (config.name == "epub3, 96 ppi")
            std::printf("  %-26s %8.3fx the time of epub2\n", "", m.seconds / epub2Seconds);
    }
    // One thread, where the format's own cost is not hidden by the second core.
    const Measure one2 = BestOf(rounds, [&] { return RunConvert(document, out, 1); });
    const Measure one3 =
        BestOf(rounds, [&] { return RunConvert(document, out, 1, Configs()[1].adjust); });
    std::printf("  --jobs 1: epub2 %.3f s, epub3 %.3f s (%.3fx)\n\n", one2.seconds, one3.seconds,
                one3.seconds / one2.seconds);
    std::fflush(stdout);
}

// A document of ordinary text pages (about 380 words of 12 point type each), for the OCR.
void WriteTextDocument(const fs::path& path, int pages) {
    tools::PageLayout layout;
    std::vector<tools::BilevelPage> rendered;
    for (int i = 0; i < pages; ++i) {
        layout.seed = static_cast<unsigned>(i % 6 + 1);
        rendered.push_back(tools::RenderPage(
            tools::WrapParagraph(tools::FillerText(layout.seed, 380), 12, layout), layout));
    }
    tools::WriteScan(path, rendered);
}

void MeasureOcr(const fs::path& folder, int pages, int rounds) {
    const unsigned cores = ResolveJobs(0);
    const auto withText = [](epub::ConversionSettings& s) { s.format = epub::BookFormat::Epub3; };
    const auto run = [&](const fs::path& document, unsigned jobs) {
        return [&, document, jobs] {
            return RunConvert(document, folder / "out", jobs, [&](epub::ConversionSettings& s) {
                withText(s);
                const std::shared_ptr<const imaging::Document> opened =
                    imaging::Document::Open(document);
                s.text = std::make_shared<const imaging::TextLayer>(opened);
            });
        };
    };
    const fs::path shorter = folder / "text.tif";
    const fs::path longer = folder / "text3.tif";
    WriteTextDocument(shorter, pages);
    WriteTextDocument(longer, 3 * pages);
    std::printf("--ocr on text pages (A4, 300 dpi, ~380 words): best of %d rounds\n", rounds);
    const Measure plain =
        BestOf(rounds, [&] { return RunConvert(shorter, folder / "out", 0, withText); });
    const Measure one = BestOf(rounds, run(shorter, 1));
    const Measure all = BestOf(rounds, run(shorter, cores));
    const Measure three = BestOf(1, run(longer, cores));
    std::printf("  epub3 without text, %u threads: %.3f s per page\n", cores,
                plain.seconds / pages);
    std::printf("  --ocr, 1 thread:   %.2f s per page, %.1f MB peak\n", one.seconds / pages,
                one.peakKb / 1024.0);
    std::printf("  --ocr, %u threads:  %.2f s per page, %.1f MB peak (%.2fx faster)\n", cores,
                all.seconds / pages, all.peakKb / 1024.0, one.seconds / all.seconds);
    std::printf("  --ocr, %u threads, %d pages: %.2f s per page, %.1f MB peak\n", cores, 3 * pages,
                three.seconds / (3 * pages), three.peakKb / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    int pages = 50, colourPages = 20, ocrPages = 4, rounds = 2;
    bool ocr = true;
    for (int i = 1; i < argc; ++i) {
        const auto number = [&] { return i + 1 < argc ? std::max(1, std::atoi(argv[++i])) : 1; };
        if (std::strcmp(argv[i], "--pages") == 0) {
            pages = number();
        } else if (std::strcmp(argv[i], "--colour-pages") == 0) {
            colourPages = number();
        } else if (std::strcmp(argv[i], "--ocr-pages") == 0) {
            ocrPages = number();
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = number();
        } else if (std::strcmp(argv[i], "--no-ocr") == 0) {
            ocr = false;
        } else {
            std::fprintf(stderr,
                         "usage: book_bench [--pages N] [--colour-pages N] [--ocr-pages N] "
                         "[--rounds R] [--no-ocr]\n");
            return 2;
        }
    }
    TIFFSetWarningHandler(nullptr);
    const fs::path folder = fs::temp_directory_path() / ("book_bench-" + std::to_string(getpid()));
    fs::create_directories(folder / "out");
    try {
        WriteDocument(folder / "scan.tif", pages);
        CompareFormats("bilevel CCITT G4", folder / "scan.tif", pages, rounds, folder / "out");
        WriteColourDocument(folder / "colour.tif", colourPages);
        CompareFormats("colour JPEG-in-TIFF", folder / "colour.tif", colourPages, rounds,
                       folder / "out");
        if (ocr)
            MeasureOcr(folder, ocrPages, rounds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "book_bench: %s\n", e.what());
        fs::remove_all(folder);
        return 1;
    }
    fs::remove_all(folder);
    return 0;
}
