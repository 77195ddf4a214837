// Skew on generated A4 pages at 300 dpi with known angles (bilevel, and grey with blur and
// noise, some with a dark border), measured by Vellumark, by ImageMagick's -deskew 40% and by
// unpaper, in the same run: residual skew and CPU time per page. Then what clean-up adds to the
// conversion of a 300 dpi G4 book by the built program, one thread, in CPU time.
// Run by hand: cleanup_bench [pages] [BOOK.tif] (the G4 book is kept there, for profiling)

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Heap.h"
#include "imaging/cleanup/CleanupPlan.h"
#include "tools/ScannedSheet.h"

namespace {

namespace fs = std::filesystem;
using namespace vellumark;
// CPU time of this process and of the children it waited for: steady on a busy machine, and
// fair to the other tools, whose start-up counts as theirs.
double CpuSeconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        ::getrusage(who, &usage);
        total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

double Since(double start) {
    return CpuSeconds() - start;
}

void WritePgm(const fs::path& path, const imaging::GreyPicture& page) {
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << page.width << " " << page.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(page.pixels.data()),
              static_cast<std::streamsize>(page.pixels.size()));
}

// The first line of the command's output, or nothing when it fails or cannot be started.
std::optional<std::string> Run(const std::string& command, const std::string& find = {}) {
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return std::nullopt;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        const std::string text(line);
        if (find.empty())
            return text;
        if (const auto at = text.find(find); at != std::string::npos)
            return text.substr(at + find.size());
    }
    return find.empty() ? std::nullopt : std::optional<std::string>("");
}

struct Tally {
    const char* name;
    double residualSum = 0, worst = 0, seconds = 0;
    int under = 0, pages = 0, failed = 0;

    void Add(std::optional<double> measured, double truth, double took) {
        ++pages;
        seconds += took;
        if (!measured) {
            ++failed;
            return;
        }
        const double residual = std::abs(*measured - truth);
        residualSum += residual;
        worst = std::max(worst, residual);
        under += residual < 0.1 ? 1 : 0;
    }
    void Print() const {
        const int measured = pages - failed;
        std::printf(
            "%-22s mean residual %.4f deg, worst %.4f deg, %d of %d under 0.1 deg, "
            "%.1f ms CPU a page%s\n",
            name, measured ? residualSum / measured : 0.0, worst, under, pages,
            1000 * seconds / pages,
            failed ? (" (" + std::to_string(failed) + " not run)").c_str() : "");
    }
};

}  // namespace

int main(int argc, char** argv) {
    KeepPageBuffersInHeap();  // as the program does
    const int pages = argc > 1 ? std::max(2, std::atoi(argv[1])) : 15;
    const fs::path folder = fs::temp_directory_path() / "vellumark-cleanup-bench";
    fs::create_directories(folder);
    std::printf("Generating %d A4 text pages at 300 dpi, turned -7 to +7 degrees...\n", pages);
    const tools::BilevelPage text = tools::TextPage({});
    Tally ours{"Vellumark (whole plan)"}, magick{"ImageMagick -deskew"}, unpaper{"unpaper"};
    for (int i = 0; i < pages; ++i) {
        tools::SheetOptions options;
        options.degrees = -7 + 14.0 * i / (pages - 1) + (i % 3) * 0.013;
        options.grey = i % 2 == 1;
        options.border = i % 4 == 0 ? 40 : 0;
        options.seed = static_cast<unsigned>(i + 1);
        const imaging::GreyPicture sheet = tools::ScanSheet(text, options);
        const fs::path pgm = folder / ("page" + std::to_string(i) + ".pgm");
        WritePgm(pgm, sheet);

        // What the program does: the sheet measured at about 150 dpi, planned whole.
        imaging::CleanupOptions clean;
        clean.deskew = clean.crop = clean.splitSpreads = true;
        const imaging::SheetSample sample = imaging::SampleOf(sheet, 300);
        double start = CpuSeconds();
        const imaging::PagePlan plan = imaging::PlanSheet(i, sample, clean).front();
        ours.Add(plan.skewMeasured ? std::optional(plan.skew) : std::nullopt, options.degrees,
                 Since(start));

        // ImageMagick gives the turn that levels the page: the skew's opposite.
        start = CpuSeconds();
        const auto angle = Run("convert '" + pgm.string() +
                               "' -deskew 40% -print '%[deskew:angle]\\n' null: 2>/dev/null");
        magick.Add(angle ? std::optional(-std::atof(angle->c_str())) : std::nullopt,
                   options.degrees, Since(start));

        // unpaper says what it found in radians, clockwise, when asked to be very verbose.
        start = CpuSeconds();
        const auto rotation = Run("unpaper -vv --overwrite '" + pgm.string() + "' '" +
                                      (folder / "out.pgm").string() + "' 2>&1",
                                  "rotation average: ");
        unpaper.Add(
            rotation ? std::optional(std::atof(rotation->c_str()) * 180 / M_PI) : std::nullopt,
            options.degrees, Since(start));
    }
    ours.Print();
    magick.Print();
    unpaper.Print();

    // The same kind of pages as a G4 book, half of them askew, through the program.
    std::vector<tools::BilevelPage> book;
    for (int i = 0; i < pages; ++i) {
        tools::PageLayout layout;
        layout.seed = static_cast<unsigned>(i + 1);
        tools::SheetOptions options;
        options.degrees = i % 2 == 0 ? 0 : -3 + 6.0 * i / pages;
        book.push_back(tools::ToBilevel(tools::ScanSheet(tools::TextPage(layout), options)));
    }
    const fs::path scan = folder / "book.tif";
    tools::WriteScan(scan, book);
    if (argc > 2) {  // kept for profiling the program on it; an existing file is left alone
        std::error_code error;
        if (!fs::copy_file(scan, argv[2], fs::copy_options::none, error))
            std::printf("book not kept at %s: %s\n", argv[2], error.message().c_str());
    }
    const fs::path program = fs::canonical("/proc/self/exe").parent_path() / "vellumark";
    double plain = 0;
    for (const char* options : {"", "--deskew --crop --split-spreads", "--clean"}) {
        const double start = CpuSeconds();
        const auto ran = Run("'" + program.string() + "' convert '" + scan.string() +
                             "' --author Bench --jobs 1 --quiet --overwrite --output-dir '" +
                             folder.string() + "' " + options + " && echo done");
        const double seconds = Since(start) / pages;
        if (!ran || ran->rfind("done", 0) != 0) {
            std::printf("convert %s failed\n", options);
            continue;
        }
        if (*options == '\0') {
            plain = seconds;
            std::printf("convert, 300 dpi G4 pages: %.1f ms CPU a page\n", 1000 * seconds);
        } else {
            std::printf("convert %s: %.1f ms CPU a page, %+.0f%%\n", options, 1000 * seconds,
                        100 * (seconds / plain - 1));
        }
    }
    fs::remove_all(folder);
    return 0;
}
