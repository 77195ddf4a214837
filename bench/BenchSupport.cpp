#include "BenchSupport.h"

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <vector>

#include "common/Heap.h"
#include "epub/Folders.h"
#include "imaging/Document.h"
#include "imaging/ScanDocument.h"

namespace vellumark::bench {
namespace {

// Calls `ink(x, y)` for every pixel of text-like lines of blobs, different on every page, and
// leaves out the rows from `skipTop` to `skipBottom` (room for a picture).
template <typename Ink>
void PaintText(int page, int skipTop, int skipBottom, Ink&& ink) {
    std::mt19937 random(static_cast<unsigned>(page * 7919 + 1));
    for (int line = 300; line + 40 < kHeight - 300; line += 60) {
        if (line + 40 > skipTop && line < skipBottom)
            continue;
        int x = 250;
        while (x < kWidth - 250) {
            const int word = 40 + static_cast<int>(random() % 160);
            for (int letter = x; letter < std::min(x + word, kWidth - 250); letter += 22) {
                const int height = 20 + static_cast<int>(random() % 18);
                for (int y = line + 38 - height; y < line + 38; ++y) {
                    for (int dx = 0; dx < 16; ++dx) {
                        if ((dx + y) % 5 == 0)
                            continue;  // some texture inside the strokes
                        ink(letter + dx, y);
                    }
                }
            }
            x += word + 30;
        }
    }
}

// Text-like lines of ink blobs on white paper; 1 = black (min-is-white).
void PaintPage(std::vector<std::uint8_t>& bits, int page) {
    const int stride = (kWidth + 7) / 8;
    std::fill(bits.begin(), bits.end(), 0);
    PaintText(page, 0, 0, [&](int x, int y) {
        bits[static_cast<std::size_t>(y) * stride + x / 8] |=
            static_cast<std::uint8_t>(0x80 >> (x % 8));
    });
}

// A page of a book: one column of 11 pt text at 300 dpi with normal margins (an inch at the
// sides, more at the top and bottom), 12.5 pt apart; letters of stems and bars as type has them,
// some with ascenders or descenders; paragraphs end short and start indented. 1 = black.
void PaintBookPage(std::vector<std::uint8_t>& bits, int page) {
    const int stride = (kWidth + 7) / 8;
    std::fill(bits.begin(), bits.end(), 0);
    std::mt19937 random(static_cast<unsigned>(page * 104729 + 3));
    // Scanned strokes have ragged edges: a run grows or shrinks by a pixel now and then.
    auto ink = [&](int x0, int x1, int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const unsigned ragged = random();
            const int from =
                x0 - static_cast<int>(ragged % 3 == 0) + static_cast<int>(ragged % 5 == 0);
            const int to = x1 + static_cast<int>((ragged >> 8) % 3 == 0) -
                           static_cast<int>((ragged >> 16) % 4 == 0);
            for (int x = from; x < to; ++x)
                bits[static_cast<std::size_t>(y) * stride + x / 8] |=
                    static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    };
    constexpr int kLeft = 300, kRight = kWidth - 300, kXHeight = 22, kStem = 3;
    bool indent = true;
    for (int base = 420 + 31; base + 9 < kHeight - 380; base += 52) {
        const bool lastOfParagraph = random() % 9 == 0;
        const int end = lastOfParagraph ? kLeft + static_cast<int>(random() % 1500) : kRight;
        int x = kLeft + (indent ? 70 : 0);
        indent = lastOfParagraph;
        while (x < end) {
            const int letters = 2 + static_cast<int>(random() % 8);
            for (int l = 0; l < letters && x < end; ++l) {
                const int width = 10 + static_cast<int>(random() % 9);
                const unsigned shape = random() % 20;
                const int top = base - (shape < 5 ? 31 : kXHeight);  // ascender
                const int bottom = base + (shape >= 18 ? 9 : 0);     // descender
                if (shape >= 10 && shape < 18) {
                    // A bowl, as of "o", "e", "c": round edges, as type has.
                    const double half = (width - 1) / 2.0, rise = kXHeight / 2.0;
                    for (int y = base - kXHeight; y < base; ++y) {
                        const double v = (y + 0.5 - (base - rise)) / rise;
                        const double outer = half * std::sqrt(std::max(0.0, 1 - v * v));
                        const double inner = std::max(0.0, outer - kStem - 1.5 * (1 - v * v));
                        const int centre = x + static_cast<int>(half);
                        ink(centre - static_cast<int>(outer), centre - static_cast<int>(inner), y,
                            y + 1);
                        if (shape != 12)  // "c" is open
                            ink(centre + static_cast<int>(inner), centre + static_cast<int>(outer),
                                y, y + 1);
                    }
                    x += width + 3;
                    continue;
                }
                ink(x, x + kStem, top, bottom);  // left stem
                if (shape % 3 != 0)
                    ink(x + width - kStem, x + width, base - kXHeight, base);  // right stem
                if (shape % 2 == 0)
                    ink(x, x + width, base - kXHeight, base - kXHeight + kStem);  // top bar
                if (shape % 5 == 1)
                    ink(x, x + width, base - kStem, base);  // foot
                x += width + 3;
            }
            x += 14;  // a word space
        }
    }
}

}  // namespace

// A scanned magazine page: grainy off-white paper, a photograph-like picture of soft colour
// waves across the top half, dark blue text below.
void PaintColourPage(std::vector<std::uint8_t>& rgb, int page) {
    rgb.resize(static_cast<std::size_t>(kWidth) * kHeight * 3);
    constexpr int kPictureTop = 400, kPictureBottom = 1700, kPictureLeft = 250;
    constexpr int kPictureRight = kWidth - 250;
    std::uint32_t noise = 2463534242u + static_cast<std::uint32_t>(page) * 7919u;
    auto grain = [&noise](int amplitude) {  // xorshift: cheap, and the same on every run
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;
        return static_cast<int>(noise % (2 * amplitude + 1)) - amplitude;
    };
    auto put = [&](std::size_t at, int r, int g, int b) {
        rgb[at] = static_cast<std::uint8_t>(std::clamp(r, 0, 255));
        rgb[at + 1] = static_cast<std::uint8_t>(std::clamp(g, 0, 255));
        rgb[at + 2] = static_cast<std::uint8_t>(std::clamp(b, 0, 255));
    };
    const double phase = page * 0.7;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * kWidth + x) * 3;
            if (y >= kPictureTop && y < kPictureBottom && x >= kPictureLeft && x < kPictureRight) {
                const double u = x / 180.0 + phase, v = y / 140.0;
                const int r = static_cast<int>(130 + 90 * std::sin(u + std::cos(v)));
                const int g = static_cast<int>(120 + 80 * std::sin(v * 1.3 - u * 0.4));
                const int b = static_cast<int>(110 + 100 * std::cos(u * 0.6 + v * 0.8));
                const int n = grain(10);
                put(at, r + n, g + n, b + grain(6));
            } else {
                const int n = grain(4);
                put(at, 238 + n, 232 + n, 216 + n);
            }
        }
    }
    PaintText(page, kPictureTop, kPictureBottom, [&](int x, int y) {
        put((static_cast<std::size_t>(y) * kWidth + x) * 3, 28, 34, 70);
    });
}

void SetPageTags(TIFF* t, int page, int pages) {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 300.0);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(t, TIFFTAG_PAGENUMBER, page, pages);
}

namespace {

void WriteG4Document(const fs::path& path, int pages,
                     void (*paint)(std::vector<std::uint8_t>&, int)) {
    TiffHandle tiff(TIFFOpen(path.c_str(), "w"));
    if (!tiff)
        throw std::runtime_error("cannot write " + path.string());
    const int stride = (kWidth + 7) / 8;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * kHeight);
    for (int page = 0; page < pages; ++page) {
        // Pages repeat after 20 so that long documents are quick to make.
        paint(bits, page % 20);
        TIFF* t = tiff.get();
        SetPageTags(t, page, pages);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 256);
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

}  // namespace

void WriteDocument(const fs::path& path, int pages) {
    WriteG4Document(path, pages, PaintPage);
}

void WriteBookDocument(const fs::path& path, int pages) {
    WriteG4Document(path, pages, PaintBookPage);
}

void WriteColourDocument(const fs::path& path, int pages) {
    TiffHandle tiff(TIFFOpen(path.c_str(), "w"));
    if (!tiff)
        throw std::runtime_error("cannot write " + path.string());
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
    const std::size_t rowBytes = static_cast<std::size_t>(kWidth) * 3;
    for (int page = 0; page < pages; ++page) {
        PaintColourPage(rgb, page);
        TIFF* t = tiff.get();
        SetPageTags(t, page, pages);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(t, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
        TIFFSetField(t, TIFFTAG_JPEGQUALITY, 80);
        TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);  // libtiff converts
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, kColourRowsPerStrip);
        for (int top = 0, strip = 0; top < kHeight; top += kColourRowsPerStrip, ++strip) {
            const int rows = std::min(kColourRowsPerStrip, kHeight - top);
            if (TIFFWriteEncodedStrip(t, static_cast<tstrip_t>(strip), rgb.data() + top * rowBytes,
                                      static_cast<tmsize_t>(rows * rowBytes)) < 0) {
                throw std::runtime_error("cannot write a strip");
            }
        }
        if (!TIFFWriteDirectory(t))
            throw std::runtime_error("cannot write a page");
    }
}

namespace {

class QuietReporter final : public epub::ConversionReporter {
public:
    void Note(const std::string& text) override {
        std::fprintf(stderr, "note: %s\n", text.c_str());
    }
    bool ConfirmOverwrite(const fs::path&) override { return true; }
    void Status(const std::string&) override {}
    void Progress(int, int) override {}
};

}  // namespace

Sizes RunConvert(const fs::path& document, const fs::path& output, unsigned jobs,
                 const std::function<void(epub::ConversionSettings&)>& adjust) {
    KeepPageBuffersInHeap();  // as the program does, first thing
    const std::shared_ptr<const imaging::ScanDocument> opened = imaging::OpenScanDocument(document);
    epub::ConversionSettings settings;
    settings.title = "bench";
    settings.author = "bench";
    settings.outputFolder = output.string();
    // The command line's road: straight into the archive.
    settings.workingFolder = epub::InstalledContainerFolder();
    settings.sink = epub::BookSinkKind::Archive;
    settings.jobs = jobs;
    if (adjust)
        adjust(settings);
    QuietReporter reporter;
    const auto result = epub::Convert(opened.get(), settings, reporter);
    if (result.outcome != epub::ConversionOutcome::Succeeded) {
        throw std::runtime_error(result.message);
    }
    return {0, fs::file_size(result.output)};
}

Measure Best(const Measure& a, const Measure& b) {
    Measure best = (b.ok && (!a.ok || b.seconds < a.seconds)) ? b : a;
    best.peakKb = std::max(a.peakKb, b.peakKb);
    return best;
}

Measure InChild(const std::function<Sizes()>& work) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("cannot make a pipe");
    std::fflush(nullptr);
    // What the parent freed (a document it wrote, say) would otherwise still be resident, and
    // counted in the child's peak.
    malloc_trim(0);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        try {
            const Sizes sizes = work();
            if (write(pipeFds[1], &sizes, sizeof sizes) != sizeof sizes)
                std::_Exit(1);
            std::_Exit(0);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "failed: %s\n", e.what());
            std::_Exit(1);
        }
    }
    close(pipeFds[1]);
    Measure m;
    const bool reported = read(pipeFds[0], &m.sizes, sizeof m.sizes) == sizeof m.sizes;
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKb = usage.ru_maxrss;
    m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.ok = reported && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

void Print(const std::string& name, int pages, const Measure& m) {
    std::printf("  %-24s %7.3f s %7.1f pages/s %7.3f s CPU %7.1f MB peak%s\n", name.c_str(),
                m.seconds, pages / m.seconds, m.cpuSeconds, m.peakKb / 1024.0,
                m.ok ? "" : "  (FAILED)");
}

}  // namespace vellumark::bench
