// Converts a generated A4 300 dpi bilevel (CCITT G4) document the way `vellumark convert` does,
// with one thread and with all cores, beside a straight reference pipeline (strip reads, area
// resampling from the packed bits, libjpeg-turbo at quality 90, raw deflate at level 6) run in
// the same process, so the ratio between them is taken on the same machine at the same time.
// Each run is a child process, so its peak memory is its own.
//
//   convert_bench [PAGES] [--rounds R] [--memory]
//     PAGES     pages of the document (default 50)
//     --rounds  runs of each configuration, the best one counts (default 3)
//     --memory  also compare the peak memory of a 10-page and a 1000-page conversion

// clang-format off
// jpeglib.h needs size_t and FILE declared first.
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/Jobs.h"
#include "epub/ConversionJob.h"
#include "epub/Folders.h"
#include "imaging/Document.h"

namespace {
namespace fs = std::filesystem;
using namespace vellumark;

constexpr int kWidth = 2480;  // A4 at 300 dpi
constexpr int kHeight = 3508;
constexpr int kOutWidth = (kWidth * 96 + 150) / 300;  // 96 pixels per inch, rounded
constexpr int kOutHeight = (kHeight * 96 + 150) / 300;

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Text-like lines of ink blobs on white paper, different on every page; 1 = black (min-is-white).
void PaintPage(std::vector<std::uint8_t>& bits, int page) {
    const int stride = (kWidth + 7) / 8;
    std::fill(bits.begin(), bits.end(), 0);
    std::mt19937 random(static_cast<unsigned>(page * 7919 + 1));
    for (int line = 300; line + 40 < kHeight - 300; line += 60) {
        int x = 250;
        while (x < kWidth - 250) {
            const int word = 40 + static_cast<int>(random() % 160);
            for (int letter = x; letter < std::min(x + word, kWidth - 250); letter += 22) {
                const int height = 20 + static_cast<int>(random() % 18);
                for (int y = line + 38 - height; y < line + 38; ++y) {
                    for (int dx = 0; dx < 16; ++dx) {
                        if ((dx + y) % 5 == 0)
                            continue;  // some texture inside the strokes
                        const int px = letter + dx;
                        bits[static_cast<std::size_t>(y) * stride + px / 8] |=
                            static_cast<std::uint8_t>(0x80 >> (px % 8));
                    }
                }
            }
            x += word + 30;
        }
    }
}

void WriteDocument(const fs::path& path, int pages) {
    TiffHandle tiff(TIFFOpen(path.c_str(), "w"));
    if (!tiff)
        throw std::runtime_error("cannot write " + path.string());
    const int stride = (kWidth + 7) / 8;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * kHeight);
    for (int page = 0; page < pages; ++page) {
        // Pages repeat after 20 so that long documents are quick to make.
        PaintPage(bits, page % 20);
        TIFF* t = tiff.get();
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 256);
        TIFFSetField(t, TIFFTAG_XRESOLUTION, 300.0);
        TIFFSetField(t, TIFFTAG_YRESOLUTION, 300.0);
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(t, TIFFTAG_PAGENUMBER, page, pages);
        for (int y = 0; y < kHeight; ++y) {
            if (TIFFWriteScanline(t, bits.data() + static_cast<std::size_t>(y) * stride, y, 0) <
                0) {
                throw std::runtime_error("cannot write a scanline");
            }
        }
        if (!TIFFWriteDirectory(t))
            throw std::runtime_error("cannot write a page");
    }
}

// ---- the reference pipeline -------------------------------------------------------------

struct ReferenceOutput {
    std::size_t jpegBytes = 0;
    std::size_t deflatedBytes = 0;
};

// Area average of a bilevel page (1 = black) straight from its packed bits, as 8-bit grey.
std::vector<std::uint8_t> ResampleBits(const std::vector<std::uint8_t>& bits) {
    const int stride = (kWidth + 7) / 8;
    const double sx = static_cast<double>(kOutWidth) / kWidth;
    const double sy = static_cast<double>(kOutHeight) / kHeight;
    // Each input column falls into one output column or straddles two.
    std::vector<int> column(kWidth);
    std::vector<float> firstShare(kWidth);
    for (int x = 0; x < kWidth; ++x) {
        const double start = x * sx;
        const double end = (x + 1) * sx;
        column[x] = static_cast<int>(start);
        const double edge = column[x] + 1.0;
        firstShare[x] = static_cast<float>(end <= edge ? 1.0 : (edge - start) / sx);
    }
    std::vector<float> ink(static_cast<std::size_t>(kOutWidth) * kOutHeight, 0.0f);
    std::vector<float> rowInk(kOutWidth + 1);
    for (int y = 0; y < kHeight; ++y) {
        std::fill(rowInk.begin(), rowInk.end(), 0.0f);
        const std::uint8_t* row = bits.data() + static_cast<std::size_t>(y) * stride;
        for (int b = 0; b < stride; ++b) {
            const std::uint8_t byte = row[b];
            if (byte == 0)
                continue;
            for (int k = 0; k < 8; ++k) {
                if (!(byte & (0x80 >> k)))
                    continue;
                const int x = b * 8 + k;
                if (x >= kWidth)
                    break;
                rowInk[column[x]] += firstShare[x];
                rowInk[column[x] + 1] += 1.0f - firstShare[x];
            }
        }
        const double start = y * sy;
        const double end = (y + 1) * sy;
        const int outY = static_cast<int>(start);
        const double edge = outY + 1.0;
        const float share = static_cast<float>(end <= edge ? 1.0 : (edge - start) / sy);
        float* target = ink.data() + static_cast<std::size_t>(outY) * kOutWidth;
        for (int x = 0; x < kOutWidth; ++x)
            target[x] += rowInk[x] * share;
        if (share < 1.0f && outY + 1 < kOutHeight) {
            for (int x = 0; x < kOutWidth; ++x)
                target[kOutWidth + x] += rowInk[x] * (1 - share);
        }
    }
    const float perOutputPixel = static_cast<float>(1.0 / (sx * sy));
    std::vector<std::uint8_t> grey(ink.size());
    for (std::size_t i = 0; i < ink.size(); ++i) {
        const float coverage = std::min(1.0f, ink[i] * (1.0f / perOutputPixel));
        grey[i] = static_cast<std::uint8_t>(255.0f * (1.0f - coverage) + 0.5f);
    }
    return grey;
}

std::vector<std::uint8_t> EncodeReferenceJpeg(const std::vector<std::uint8_t>& grey) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = kOutWidth;
    info.image_height = kOutHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kOutWidth) * 3);
    while (info.next_scanline < info.image_height) {
        const std::uint8_t* row =
            grey.data() + static_cast<std::size_t>(info.next_scanline) * kOutWidth;
        for (int x = 0; x < kOutWidth; ++x)
            rgb[x * 3] = rgb[x * 3 + 1] = rgb[x * 3 + 2] = row[x];
        JSAMPROW rows[1] = {rgb.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> jpeg(buffer, buffer + size);
    std::free(buffer);
    return jpeg;
}

std::size_t DeflateRaw(const std::vector<std::uint8_t>& data) {
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<std::uint8_t> out(deflateBound(&stream, data.size()));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    const std::size_t size = stream.total_out;
    deflateEnd(&stream);
    volatile uLong crc = crc32(0, data.data(), static_cast<uInt>(data.size()));
    (void)crc;
    return size;
}

void RunReference(const fs::path& document, int pages, unsigned threads) {
    std::atomic<int> next{0};
    auto work = [&] {
        TiffHandle tiff(TIFFOpen(document.c_str(), "r"));
        if (!tiff)
            throw std::runtime_error("cannot read " + document.string());
        const int stride = (kWidth + 7) / 8;
        std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * kHeight);
        for (int page; (page = next.fetch_add(1)) < pages;) {
            TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(page));
            std::size_t offset = 0;
            for (tstrip_t strip = 0; strip < TIFFNumberOfStrips(tiff.get()); ++strip) {
                const tmsize_t got =
                    TIFFReadEncodedStrip(tiff.get(), strip, bits.data() + offset,
                                         static_cast<tmsize_t>(bits.size() - offset));
                if (got < 0)
                    throw std::runtime_error("cannot read a strip");
                offset += static_cast<std::size_t>(got);
            }
            const auto jpeg = EncodeReferenceJpeg(ResampleBits(bits));
            DeflateRaw(jpeg);
        }
    };
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i)
        pool.emplace_back(work);
    work();
    for (auto& t : pool)
        t.join();
}

// ---- the product ------------------------------------------------------------------------

class QuietReporter final : public epub::ConversionReporter {
public:
    void Note(const std::string& text) override {
        std::fprintf(stderr, "note: %s\n", text.c_str());
    }
    bool ConfirmOverwrite(const fs::path&) override { return true; }
    void Status(const std::string&) override {}
    void Progress(int, int) override {}
};

void RunConvert(const fs::path& document, const fs::path& output, unsigned jobs) {
    const auto opened = imaging::Document::Open(document);
    epub::WorkingFolder working = epub::WorkingFolder::CreatePrivate();
    epub::ConversionSettings settings;
    settings.title = "bench";
    settings.author = "bench";
    settings.outputFolder = output.string();
    settings.workingFolder = working.Path();
    settings.jobs = jobs;
    QuietReporter reporter;
    const auto result = epub::Convert(opened.get(), settings, reporter);
    if (result.outcome != epub::ConversionOutcome::Succeeded) {
        throw std::runtime_error(result.message);
    }
}

// ---- measuring --------------------------------------------------------------------------

struct Measure {
    double seconds = 0;     // wall time
    double cpuSeconds = 0;  // user + system time of the child: steadier on a busy machine
    long peakKb = 0;
    bool ok = false;
};

// The best of several runs: least wall time, with the largest peak seen.
Measure Best(const Measure& a, const Measure& b) {
    Measure best = (b.ok && (!a.ok || b.seconds < a.seconds)) ? b : a;
    best.peakKb = std::max(a.peakKb, b.peakKb);
    return best;
}

// Runs `work` in a child process: wall time and the child's own peak resident size.
Measure InChild(const std::function<void()>& work) {
    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        try {
            work();
            std::_Exit(0);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "failed: %s\n", e.what());
            std::_Exit(1);
        }
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Measure m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKb = usage.ru_maxrss;
    m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

void Print(const char* name, int pages, const Measure& m) {
    std::printf("%-26s %7.3f s %7.1f pages/s %7.3f s CPU %7.1f MB peak%s\n", name, m.seconds,
                pages / m.seconds, m.cpuSeconds, m.peakKb / 1024.0, m.ok ? "" : "  (FAILED)");
}

}  // namespace

int main(int argc, char** argv) {
    int pages = 50;
    int rounds = 3;
    bool memory = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--memory") == 0) {
            memory = true;
        } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            pages = std::max(1, std::atoi(argv[i]));
        }
    }
    const unsigned cores = vellumark::ResolveJobs(0);
    const fs::path folder =
        fs::temp_directory_path() / ("convert_bench-" + std::to_string(getpid()));
    fs::create_directories(folder / "out");
    TIFFSetWarningHandler(nullptr);
    try {
        const fs::path document = folder / "scan.tif";
        WriteDocument(document, pages);
        std::printf("%d pages, %d x %d at 300 dpi, CCITT G4, %.1f MB; %u cores\n", pages, kWidth,
                    kHeight, fs::file_size(document) / 1048576.0, cores);

        // Interleaved rounds, best of each, so that a burst of other work on the machine
        // does not land on one configuration only.
        Measure ref1, conv1, refN, convN;
        for (int round = 0; round < rounds; ++round) {
            ref1 = Best(ref1, InChild([&] { RunReference(document, pages, 1); }));
            conv1 = Best(conv1, InChild([&] { RunConvert(document, folder / "out", 1); }));
            refN = Best(refN, InChild([&] { RunReference(document, pages, cores); }));
            convN = Best(convN, InChild([&] { RunConvert(document, folder / "out", 0); }));
        }
        std::printf("best of %d rounds\n", rounds);
        Print("reference, 1 thread", pages, ref1);
        Print("convert --jobs 1", pages, conv1);
        Print(("reference, " + std::to_string(cores) + " threads").c_str(), pages, refN);
        Print(("convert --jobs " + std::to_string(cores)).c_str(), pages, convN);
        std::printf("convert --jobs 1 / reference: %.2fx wall, %.2fx CPU\n",
                    conv1.seconds / ref1.seconds, conv1.cpuSeconds / ref1.cpuSeconds);
        std::printf("%u jobs vs 1: %.2fx faster (reference: %.2fx)\n", cores,
                    conv1.seconds / convN.seconds, ref1.seconds / refN.seconds);

        if (memory) {
            for (int count : {10, 1000}) {
                const fs::path big = folder / ("scan" + std::to_string(count) + ".tif");
                WriteDocument(big, count);
                const Measure m = InChild([&] { RunConvert(big, folder / "out", 0); });
                Print(("convert, " + std::to_string(count) + " pages").c_str(), count, m);
                fs::remove(big);
                fs::remove_all(folder / "out");
                fs::create_directories(folder / "out");
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "convert_bench: %s\n", e.what());
        fs::remove_all(folder);
        return 1;
    }
    fs::remove_all(folder);
    return 0;
}
