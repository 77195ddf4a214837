// Page picture speed on A4 300 dpi pages (2480 x 3508 -> 794 x 1123): libtiff decode alone,
// decode + resample (Document::PagePicture), JPEG encoding, and whole pages on 1 and 2 threads,
// for a bilevel G4 text page and a colour JPEG-in-TIFF page. Peak memory from getrusage.
//
//   imaging_bench [pages]      (default 20 pages of each kind)

#include <sys/resource.h>
#include <tiffio.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "imaging/Document.h"
#include "imaging/Jpeg.h"

namespace {

using Clock = std::chrono::steady_clock;
using vellumark::imaging::Document;
using vellumark::imaging::EncodeJpeg;
using vellumark::imaging::Picture;

constexpr int kWidth = 2480, kHeight = 3508;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// CPU time of the calling thread: the machine is shared, so wall time alone misleads.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

long PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

std::uint32_t Hash(std::uint32_t a, std::uint32_t b) {
    std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0xC2B2AE3Du;
    return h ^ (h >> 13);
}

// 10 pt-like text: 50-pixel lines of letter boxes with strokes, margins of paper.
bool Ink(int x, int y) {
    if (x < 240 || x >= kWidth - 240 || y < 300 || y >= kHeight - 300)
        return false;
    const int line = (y - 300) / 50, ly = (y - 300) % 50;
    if (ly >= 34)
        return false;
    const int letter = (x - 240) / 26, lx = (x - 240) % 26;
    const std::uint32_t h =
        Hash(static_cast<std::uint32_t>(letter), static_cast<std::uint32_t>(line));
    if (h % 6 == 0 || lx >= 21)
        return false;
    if (lx < 4 || (lx >= 17 && (h & 8)))
        return true;
    const int barY = static_cast<int>((h >> 4) % 3) * 15;
    return ly >= barY && ly < barY + 4;
}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

void WriteG4(const std::string& path, int pages) {
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), "w"));
    std::vector<std::uint8_t> page(static_cast<std::size_t>(kWidth / 8) * kHeight, 0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (Ink(x, y))
                page[static_cast<std::size_t>(y) * (kWidth / 8) + x / 8] |= 0x80 >> (x % 8);
    for (int p = 0; p < pages; ++p) {
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, kHeight);
        TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, kHeight);
        TIFFSetField(tif.get(), TIFFTAG_XRESOLUTION, 300.0);
        TIFFSetField(tif.get(), TIFFTAG_YRESOLUTION, 300.0);
        TIFFSetField(tif.get(), TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFWriteEncodedStrip(tif.get(), 0, page.data(), static_cast<tmsize_t>(page.size()));
        TIFFWriteDirectory(tif.get());
    }
}

void WriteColourJpeg(const std::string& path, int pages) {
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), "w"));
    constexpr int kRows = 16;
    std::vector<std::uint8_t> strip(static_cast<std::size_t>(kWidth) * 3 * kRows);
    for (int p = 0; p < pages; ++p) {
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, kHeight);
        TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
        TIFFSetField(tif.get(), TIFFTAG_JPEGQUALITY, 85);
        TIFFSetField(tif.get(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, kRows);
        TIFFSetField(tif.get(), TIFFTAG_XRESOLUTION, 300.0);
        TIFFSetField(tif.get(), TIFFTAG_YRESOLUTION, 300.0);
        TIFFSetField(tif.get(), TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        for (int top = 0, s = 0; top < kHeight; top += kRows, ++s) {
            const int rows = std::min(kRows, kHeight - top);
            for (int r = 0; r < rows; ++r) {
                const int y = top + r;
                for (int x = 0; x < kWidth; ++x) {
                    std::uint8_t* px =
                        strip.data() + (static_cast<std::size_t>(r) * kWidth + x) * 3;
                    const int texture = static_cast<int>(Hash(x / 3, y / 3) % 24);
                    const bool ink = Ink(x, y);
                    px[0] = static_cast<std::uint8_t>(
                        ink ? 20 : std::min(255, x * 230 / kWidth + texture));
                    px[1] = static_cast<std::uint8_t>(
                        ink ? 20 : std::min(255, y * 230 / kHeight + texture));
                    px[2] = static_cast<std::uint8_t>(
                        ink ? 60 : 200 - (x + y) * 150 / (kWidth + kHeight) + texture);
                }
            }
            TIFFWriteEncodedStrip(
                tif.get(), static_cast<std::uint32_t>(s), strip.data(),
                static_cast<tmsize_t>(static_cast<std::size_t>(kWidth) * 3 * rows));
        }
        TIFFWriteDirectory(tif.get());
    }
}

// libtiff's decode alone, a scanline at a time, as the document reads it.
double DecodeOnlyMs(const std::string& path, int pages, bool colour) {
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), "rm"));
    std::vector<std::uint8_t> line(static_cast<std::size_t>(kWidth) * 3);
    const double start = ThreadCpuMs();
    for (int p = 0; p < pages; ++p) {
        TIFFSetDirectory(tif.get(), static_cast<tdir_t>(p));
        if (colour)
            TIFFSetField(tif.get(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        for (int y = 0; y < kHeight; ++y)
            TIFFReadScanline(tif.get(), line.data(), static_cast<std::uint32_t>(y), 0);
    }
    return (ThreadCpuMs() - start) / pages;
}

void Measure(const char* name, const std::string& path, int pages, bool colour) {
    const auto document = Document::Open(path);
    const double decode = DecodeOnlyMs(path, pages, colour);

    Picture first = document->PagePicture(0);
    double start = ThreadCpuMs();
    for (int p = 0; p < pages; ++p)
        first = document->PagePicture(p);
    const double picture = (ThreadCpuMs() - start) / pages;

    start = ThreadCpuMs();
    std::size_t bytes = 0;
    for (int p = 0; p < pages; ++p)
        bytes += EncodeJpeg(first).size();
    const double jpeg = (ThreadCpuMs() - start) / pages;

    // Wall time of whole pages (picture + JPEG); only meaningful on an idle machine.
    struct Run {
        double wall, cpu;
    };
    auto run = [&](int threads) {
        const double cpu = ProcessCpuMs();
        const auto begin = Clock::now();
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&, t] {
                for (int p = t; p < pages; p += threads)
                    EncodeJpeg(document->PagePicture(p));
            });
        for (auto& w : workers)
            w.join();
        return Run{Ms(Clock::now() - begin), ProcessCpuMs() - cpu};
    };
    const Run one = run(1);
    const long rssOne = PeakRssMb();
    const Run two = run(2);
    std::printf(
        "%-22s picture %dx%d | CPU per page: decode %.1f ms, resample %.1f ms (decode+resample "
        "%.1f ms), "
        "JPEG q90 %.1f ms (%zu KB)\n",
        name, first.width, first.height, decode, picture - decode, picture, jpeg,
        bytes / pages / 1024);
    // With no lock shared by the threads, the CPU time of 2 threads stays that of 1 and the
    // wall-time speed-up approaches 2 on an otherwise idle 2-core machine.
    std::printf(
        "%-22s %d whole pages: 1 thread %.0f ms wall, %.0f ms CPU; 2 threads %.0f ms wall "
        "(%.2fx), %.0f ms CPU (%.2fx of 1 thread's) | peak RSS %ld MB after 1 thread, "
        "%ld MB after 2\n",
        name, pages, one.wall, one.cpu, two.wall, one.wall / two.wall, two.cpu, two.cpu / one.cpu,
        rssOne, PeakRssMb());
}

}  // namespace

int main(int argc, char** argv) {
    const int pages = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
    const auto folder =
        std::filesystem::temp_directory_path() / ("imaging_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string g4 = (folder / "g4.tif").string(), colour = (folder / "colour.tif").string();
    std::printf("writing %d pages of each kind...\n", pages);
    WriteG4(g4, pages);
    WriteColourJpeg(colour, pages);
    std::printf("baseline peak RSS %ld MB\n", PeakRssMb());
    Measure("bilevel G4 text", g4, pages, false);
    Measure("colour JPEG-in-TIFF", colour, pages, true);
    std::filesystem::remove_all(folder);
    return 0;
}
