#pragma once
// What the benchmark programs share: the benchmark documents (A4 at 300 dpi: bilevel CCITT G4
// text pages, and colour JPEG-in-TIFF magazine pages), a conversion the way `vellumark convert`
// makes one, and measuring a run in a child process of its own.

#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "epub/ConversionJob.h"

namespace vellumark::bench {

namespace fs = std::filesystem;

constexpr int kWidth = 2480;  // A4 at 300 dpi
constexpr int kHeight = 3508;
constexpr int kOutWidth = (kWidth * 96 + 150) / 300;  // 96 pixels per inch, rounded
constexpr int kOutHeight = (kHeight * 96 + 150) / 300;
constexpr int kColourRowsPerStrip = 64;  // a multiple of the 16-row JPEG block of 4:2:0

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// The bilevel benchmark document: text-like lines of ink blobs, CCITT G4 (pages repeat after 20).
void WriteDocument(const fs::path& path, int pages);
// Typical book pages: one column of 11 pt text with normal margins, CCITT G4 (about 125 KB a
// page; pages repeat after 20).
void WriteBookDocument(const fs::path& path, int pages);
// Page `page` of the colour benchmark document, as kWidth x kHeight RGB samples (rgb is resized).
void PaintColourPage(std::vector<std::uint8_t>& rgb, int page);
// The colour benchmark document: grainy paper, a photograph-like picture, blue text; JPEG in
// TIFF, YCbCr 4:2:0.
void WriteColourDocument(const fs::path& path, int pages);

// What the reference made of a document: its pictures, and those pictures deflated.
struct Sizes {
    std::uint64_t jpegBytes = 0;
    std::uint64_t deflatedBytes = 0;
};

// Converts `document` into output/bench.epub as `vellumark convert` does; `adjust` may change
// the settings first. Returns the book's size in deflatedBytes. Throws on failure.
Sizes RunConvert(const fs::path& document, const fs::path& output, unsigned jobs,
                 const std::function<void(epub::ConversionSettings&)>& adjust = {});

struct Measure {
    double seconds = 0;     // wall time
    double cpuSeconds = 0;  // user + system time of the child: steadier on a busy machine
    long peakKb = 0;
    bool ok = false;
    Sizes sizes;  // what the child reported
};

// The best of several runs: least wall time, with the largest peak seen.
Measure Best(const Measure& a, const Measure& b);
// Runs `work` in a child process: wall and CPU time, the child's own peak resident size, and
// the sizes it hands back.
Measure InChild(const std::function<Sizes()>& work);
// "  name   1.234 s   40.5 pages/s   1.200 s CPU   12.3 MB peak".
void Print(const std::string& name, int pages, const Measure& m);

}  // namespace vellumark::bench
