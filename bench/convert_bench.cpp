// Converts generated A4 300 dpi documents the way `vellumark convert` does, with one thread and
// with all cores, beside a straight reference pipeline run in the same process, so the ratio
// between them is taken on the same machine at the same time:
//  - bilevel text pages (CCITT G4): strip reads, area resampling from the packed bits,
//    libjpeg-turbo at quality 90, raw deflate at zlib level 6 and its CRC-32;
//  - with --colour, colour JPEG-in-TIFF pages (YCbCr 4:2:0): strips decoded to RGB by libtiff,
//    area resampling, libjpeg-turbo at quality 90, raw deflate at zlib level 6 and its CRC-32.
// Each run is a child process, so its peak time and memory are its own. Rounds are interleaved,
// so that a burst of other work on the machine does not land on one configuration only, and the
// best round of each configuration counts.
//
//   convert_bench [PAGES] [--rounds R] [--colour] [--colour-pages N] [--colour-only] [--book]
//                 [--book-only] [--memory] [--write-to FOLDER]
//     PAGES           pages of the bilevel document (default 50)
//     --rounds        runs of each configuration, the best one counts (default 3)
//     --colour        also convert the colour document
//     --colour-pages  pages of the colour document (default 20)
//     --colour-only   convert the colour document only
//     --book          also convert PAGES typical book pages (11 pt text, about 125 KB of G4 each)
//     --book-only     convert the book pages only (with --colour: and the colour document)
//     --memory        also compare the peak memory of a 10-page and a 1000-page conversion
//     --write-to      only write the documents (scan.tif, colour.tif, book.tif) into FOLDER, to
//     profile
//                     `vellumark convert` on them

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
#include <cmath>
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

#include "BenchSupport.h"
#include "common/Jobs.h"
#include "epub/ConversionJob.h"
#include "epub/Folders.h"
#include "imaging/Document.h"

namespace {
using namespace vellumark;
using namespace vellumark::bench;

// ---- the reference pipeline -------------------------------------------------------------

// Area averaging along one axis that shrinks: each input pixel falls into one output pixel or
// straddles two; `share` is the part of it in the first.
struct Shares {
    std::vector<int> index;
    std::vector<float> share;
};

Shares MakeShares(int in, int out) {
    const double scale = static_cast<double>(out) / in;
    Shares s;
    s.index.resize(in);
    s.share.resize(in);
    for (int i = 0; i < in; ++i) {
        const double start = i * scale;
        const double end = (i + 1) * scale;
        s.index[i] = std::min(static_cast<int>(start), out - 1);
        const double edge = s.index[i] + 1.0;
        s.share[i] = static_cast<float>(end <= edge ? 1.0 : (edge - start) / scale);
    }
    return s;
}

// Adds one reduced input row into the one or two output rows it covers.
void AddToRows(const Shares& rows, int y, const std::vector<float>& rowSums, std::size_t rowFloats,
               std::vector<float>& sums) {
    const int outY = rows.index[y];
    const float share = rows.share[y];
    const float* __restrict from = rowSums.data();
    float* __restrict target = sums.data() + static_cast<std::size_t>(outY) * rowFloats;
    for (std::size_t x = 0; x < rowFloats; ++x)
        target[x] += from[x] * share;
    if (share < 1.0f && outY + 1 < kOutHeight) {
        const float rest = 1 - share;
        float* __restrict next = target + rowFloats;
        for (std::size_t x = 0; x < rowFloats; ++x)
            next[x] += from[x] * rest;
    }
}

// Area average of a bilevel page (1 = black) straight from its packed bits, as 8-bit grey.
std::vector<std::uint8_t> ResampleBits(const std::vector<std::uint8_t>& bits) {
    const int stride = (kWidth + 7) / 8;
    const Shares columns = MakeShares(kWidth, kOutWidth);
    const Shares rows = MakeShares(kHeight, kOutHeight);
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
                rowInk[columns.index[x]] += columns.share[x];
                rowInk[columns.index[x] + 1] += 1.0f - columns.share[x];
            }
        }
        AddToRows(rows, y, rowInk, kOutWidth, ink);
    }
    const float perInputPixel =
        static_cast<float>(kOutWidth) * kOutHeight / (static_cast<float>(kWidth) * kHeight);
    std::vector<std::uint8_t> grey(ink.size());
    for (std::size_t i = 0; i < ink.size(); ++i) {
        const float coverage = std::min(1.0f, ink[i] * perInputPixel);
        grey[i] = static_cast<std::uint8_t>(255.0f * (1.0f - coverage) + 0.5f);
    }
    return grey;
}

// Area average of RGB rows, fed a row at a time: down first (each input row goes into the one
// or two output rows it covers, at full width), then across, once per output row (each output
// pixel sums the input pixels it covers, the two at its edges by the part of them inside).
class ResampleRgb {
public:
    ResampleRgb()
        : rows_(MakeShares(kHeight, kOutHeight)),
          current_(kRowFloats, 0.0f),
          next_(kRowFloats, 0.0f),
          rgb_(static_cast<std::size_t>(kOutWidth) * kOutHeight * 3) {
        const double scale = static_cast<double>(kWidth) / kOutWidth;
        for (int i = 0; i < kOutWidth; ++i) {
            const double lo = i * scale, hi = (i + 1) * scale;
            Span span;
            span.first = static_cast<int>(lo);
            span.last = std::min(kWidth - 1, static_cast<int>(std::ceil(hi)) - 1);
            span.firstShare = static_cast<float>(std::min(hi, span.first + 1.0) - lo);
            span.lastShare = static_cast<float>(hi - span.last);
            spans_.push_back(span);
        }
    }

    void AddRow(int y, const std::uint8_t* __restrict rgb) {
        const int outY = rows_.index[y];
        if (outY != row_) {
            Emit(row_);
            std::swap(current_, next_);
            std::fill(next_.begin(), next_.end(), 0.0f);
            row_ = outY;
        }
        const float share = rows_.share[y], rest = 1.0f - share;
        float* __restrict current = current_.data();
        for (std::size_t k = 0; k < kRowFloats; ++k)
            current[k] += share * rgb[k];
        if (share < 1.0f) {
            float* __restrict next = next_.data();
            for (std::size_t k = 0; k < kRowFloats; ++k)
                next[k] += rest * rgb[k];
        }
    }

    std::vector<std::uint8_t> Finish() {
        Emit(row_);
        return std::move(rgb_);
    }

private:
    static constexpr std::size_t kRowFloats = static_cast<std::size_t>(kWidth) * 3;
    struct Span {
        int first = 0, last = 0;
        float firstShare = 1, lastShare = 1;
    };

    void Emit(int row) {
        const float perInputPixel =
            static_cast<float>(kOutWidth) * kOutHeight / (static_cast<float>(kWidth) * kHeight);
        std::uint8_t* out = rgb_.data() + static_cast<std::size_t>(row) * kOutWidth * 3;
        for (int i = 0; i < kOutWidth; ++i) {
            const Span& span = spans_[i];
            for (int c = 0; c < 3; ++c) {
                const float* p = current_.data() + c;
                float sum = p[span.first * 3] * span.firstShare;
                for (int x = span.first + 1; x < span.last; ++x)
                    sum += p[x * 3];
                if (span.last > span.first)
                    sum += p[span.last * 3] * span.lastShare;
                out[i * 3 + c] =
                    static_cast<std::uint8_t>(std::min(255.0f, sum * perInputPixel + 0.5f));
            }
        }
    }

    Shares rows_;
    std::vector<Span> spans_;
    std::vector<float> current_, next_;  // the output row being summed, and the one after it
    int row_ = 0;
    std::vector<std::uint8_t> rgb_;
};

// `pixels` is grey (one byte a pixel) or RGB.
std::vector<std::uint8_t> EncodeReferenceJpeg(const std::vector<std::uint8_t>& pixels, bool grey) {
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
        const std::size_t y = info.next_scanline;
        JSAMPROW rows[1] = {const_cast<JSAMPROW>(pixels.data() + y * kOutWidth * 3)};
        if (grey) {
            const std::uint8_t* row = pixels.data() + y * kOutWidth;
            for (int x = 0; x < kOutWidth; ++x)
                rgb[x * 3] = rgb[x * 3 + 1] = rgb[x * 3 + 2] = row[x];
            rows[0] = rgb.data();
        }
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

// Runs `page` on every page of the document on `threads` threads, each with its own handle;
// `page` returns the page's JPEG, which is then deflated.
Sizes ForEachPage(const fs::path& document, int pages, unsigned threads,
                  const std::function<std::vector<std::uint8_t>(TIFF*)>& page) {
    std::atomic<int> next{0};
    std::atomic<std::uint64_t> jpegBytes{0}, deflatedBytes{0};
    auto work = [&] {
        TiffHandle tiff(TIFFOpen(document.c_str(), "r"));
        if (!tiff)
            throw std::runtime_error("cannot read " + document.string());
        for (int index; (index = next.fetch_add(1)) < pages;) {
            if (!TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(index)))
                throw std::runtime_error("cannot read a page");
            const auto jpeg = page(tiff.get());
            jpegBytes += jpeg.size();
            deflatedBytes += DeflateRaw(jpeg);
        }
    };
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i)
        pool.emplace_back(work);
    work();
    for (auto& t : pool)
        t.join();
    return {jpegBytes, deflatedBytes};
}

Sizes RunReference(const fs::path& document, int pages, unsigned threads) {
    return ForEachPage(document, pages, threads, [](TIFF* tiff) {
        const int stride = (kWidth + 7) / 8;
        std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * kHeight);
        std::size_t offset = 0;
        for (tstrip_t strip = 0; strip < TIFFNumberOfStrips(tiff); ++strip) {
            const tmsize_t got = TIFFReadEncodedStrip(tiff, strip, bits.data() + offset,
                                                      static_cast<tmsize_t>(bits.size() - offset));
            if (got < 0)
                throw std::runtime_error("cannot read a strip");
            offset += static_cast<std::size_t>(got);
        }
        return EncodeReferenceJpeg(ResampleBits(bits), true);
    });
}

Sizes RunColourReference(const fs::path& document, int pages, unsigned threads) {
    return ForEachPage(document, pages, threads, [](TIFF* tiff) {
        TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        const std::size_t rowBytes = static_cast<std::size_t>(kWidth) * 3;
        std::vector<std::uint8_t> band(rowBytes * kColourRowsPerStrip);
        ResampleRgb resampler;
        int y = 0;
        for (tstrip_t strip = 0; strip < TIFFNumberOfStrips(tiff); ++strip) {
            const tmsize_t got =
                TIFFReadEncodedStrip(tiff, strip, band.data(), static_cast<tmsize_t>(band.size()));
            if (got < 0)
                throw std::runtime_error("cannot read a strip");
            for (std::size_t r = 0; r < static_cast<std::size_t>(got) / rowBytes; ++r)
                resampler.AddRow(y++, band.data() + r * rowBytes);
        }
        if (y != kHeight)
            throw std::runtime_error("rows are missing");
        return EncodeReferenceJpeg(resampler.Finish(), false);
    });
}

// One document: the reference and the product with one thread and with all cores, interleaved.
struct Scan {
    std::string title;
    fs::path document;
    int pages = 0;
    std::function<Sizes(const fs::path&, int, unsigned)> reference;
};

bool Compare(const Scan& scan, const fs::path& folder, int rounds, unsigned cores) {
    const fs::path out1 = folder / "out1", outN = folder / "outN";
    // Every round writes a new book, as the first one does: replacing the last round's book
    // would add the freeing of its blocks to the later rounds only.
    const auto empty = [](const fs::path& out) {
        fs::remove_all(out);
        fs::create_directories(out);
    };
    const std::string coresText = std::to_string(cores);
    std::printf("%s: %d pages, %d x %d at 300 dpi, %.1f MB; %u cores; best of %d rounds\n",
                scan.title.c_str(), scan.pages, kWidth, kHeight,
                fs::file_size(scan.document) / 1048576.0, cores, rounds);
    std::fflush(stdout);
    const int pages = scan.pages;
    Measure ref1, conv1, refN, convN;
    for (int round = 0; round < rounds; ++round) {
        ref1 = Best(ref1, InChild([&] { return scan.reference(scan.document, pages, 1); }));
        empty(out1);
        conv1 = Best(conv1, InChild([&] { return RunConvert(scan.document, out1, 1); }));
        refN = Best(refN, InChild([&] { return scan.reference(scan.document, pages, cores); }));
        empty(outN);
        convN = Best(convN, InChild([&] { return RunConvert(scan.document, outN, 0); }));
    }
    Print("reference, 1 thread", pages, ref1);
    Print("convert --jobs 1", pages, conv1);
    Print("reference, " + coresText + " threads", pages, refN);
    Print("convert --jobs " + coresText, pages, convN);
    std::printf("  convert --jobs 1 / reference, 1 thread: %.3fx wall, %.3fx CPU\n",
                conv1.seconds / ref1.seconds, conv1.cpuSeconds / ref1.cpuSeconds);
    std::printf("  convert --jobs %u vs --jobs 1: %.3fx faster (reference: %.3fx)\n", cores,
                conv1.seconds / convN.seconds, ref1.seconds / refN.seconds);
    std::printf(
        "  book: %llu bytes with --jobs 1, %llu bytes with --jobs %u (each book has its own "
        "random identifier)\n",
        static_cast<unsigned long long>(conv1.sizes.deflatedBytes),
        static_cast<unsigned long long>(convN.sizes.deflatedBytes), cores);
    std::printf("  reference pictures: %llu bytes of JPEG, %llu bytes deflated\n",
                static_cast<unsigned long long>(ref1.sizes.jpegBytes),
                static_cast<unsigned long long>(ref1.sizes.deflatedBytes));
    std::fflush(stdout);
    return ref1.ok && conv1.ok && refN.ok && convN.ok;
}

}  // namespace

int main(int argc, char** argv) {
    int pages = 50;
    int colourPages = 20;
    int rounds = 3;
    bool memory = false, colour = false, bilevel = true, bookPages = false;
    fs::path writeTo;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--memory") == 0) {
            memory = true;
        } else if (std::strcmp(argv[i], "--colour") == 0) {
            colour = true;
        } else if (std::strcmp(argv[i], "--book") == 0) {
            bookPages = true;
        } else if (std::strcmp(argv[i], "--book-only") == 0) {
            bookPages = true;
            bilevel = false;
        } else if (std::strcmp(argv[i], "--colour-only") == 0) {
            colour = true;
            bilevel = false;
        } else if (std::strcmp(argv[i], "--colour-pages") == 0 && i + 1 < argc) {
            colourPages = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--write-to") == 0 && i + 1 < argc) {
            writeTo = argv[++i];
        } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            pages = std::max(1, std::atoi(argv[i]));
        }
    }
    TIFFSetWarningHandler(nullptr);
    if (!writeTo.empty()) {
        try {
            fs::create_directories(writeTo);
            WriteDocument(writeTo / "scan.tif", pages);
            WriteColourDocument(writeTo / "colour.tif", colourPages);
            WriteBookDocument(writeTo / "book.tif", pages);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "convert_bench: %s\n", e.what());
            return 1;
        }
        return 0;
    }
    const unsigned cores = vellumark::ResolveJobs(0);
    const fs::path folder =
        fs::temp_directory_path() / ("convert_bench-" + std::to_string(getpid()));
    fs::create_directories(folder / "out");
    bool ok = true;
    try {
        // Writes a document, compares the conversion with its reference, and removes it.
        const auto compare = [&](const char* title, const char* name, int count,
                                 void (*write)(const fs::path&, int),
                                 Sizes (*reference)(const fs::path&, int, unsigned)) {
            const fs::path document = folder / name;
            write(document, count);
            ok = Compare({title, document, count, reference}, folder, rounds, cores) && ok;
            fs::remove(document);
        };
        if (bilevel)
            compare("bilevel CCITT G4", "scan.tif", pages, WriteDocument, RunReference);
        if (bookPages)
            compare("book pages CCITT G4", "book.tif", pages, WriteBookDocument, RunReference);
        if (colour) {
            compare("colour JPEG-in-TIFF, YCbCr 4:2:0", "colour.tif", colourPages,
                    WriteColourDocument, RunColourReference);
        }
        if (memory) {
            for (int count : {10, 1000}) {
                const fs::path big = folder / ("scan" + std::to_string(count) + ".tif");
                WriteDocument(big, count);
                const Measure m = InChild([&] { return RunConvert(big, folder / "out", 0); });
                Print("convert, " + std::to_string(count) + " pages", count, m);
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
    return ok ? 0 : 1;
}
