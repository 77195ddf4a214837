// Scanned PDF files against the same pages as TIFF: the benchmark's typical book pages (CCITT
// G4) and its colour pages (JPEG), each as a TIFF and as a PDF of one image per page, converted
// with --jobs 1 and --jobs 2, at two lengths to show that memory stays flat in the page count.
// Each run is a child process of its own; the best of the rounds counts.
//
//   pdf_bench [--pages N] [--rounds R]

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "TestPdf.h"
#include "imaging/Jpeg.h"

namespace {
using namespace vellumark;
using namespace vellumark::bench;

constexpr double kPagePoints[2] = {kWidth * 72.0 / 300, kHeight * 72.0 / 300};
constexpr int kDistinctPages = 20;  // the benchmark documents repeat after 20 pages

// Page `page` of a G4 TIFF as one G4 image: its rows read and coded again as one strip.
std::vector<std::uint8_t> G4Image(TIFF* source, int page, const fs::path& scratch) {
    TIFFSetDirectory(source, static_cast<tdir_t>(page));
    const int stride = (kWidth + 7) / 8;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(stride));
    {
        TiffHandle out(TIFFOpen(scratch.c_str(), "w"));
        TIFFSetField(out.get(), TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(out.get(), TIFFTAG_IMAGELENGTH, kHeight);
        TIFFSetField(out.get(), TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(out.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(out.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(out.get(), TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(out.get(), TIFFTAG_ROWSPERSTRIP, kHeight);
        for (int y = 0; y < kHeight; ++y) {
            if (TIFFReadScanline(source, row.data(), static_cast<std::uint32_t>(y), 0) < 0 ||
                TIFFWriteScanline(out.get(), row.data(), static_cast<std::uint32_t>(y), 0) < 0)
                throw std::runtime_error("cannot copy a row");
        }
    }
    TiffHandle back(TIFFOpen(scratch.c_str(), "r"));
    std::vector<std::uint8_t> data(static_cast<std::size_t>(TIFFRawStripSize(back.get(), 0)));
    TIFFReadRawStrip(back.get(), 0, data.data(), static_cast<tmsize_t>(data.size()));
    return data;
}

// The TIFF's pages as a PDF of one image each, at 300 dpi.
void WritePdf(const fs::path& tiff, const fs::path& pdf, int pages, bool colour) {
    std::vector<testing::PdfImage> images;
    if (colour) {
        // The TIFF's own pixels at its own JPEG quality, coded once, as the TIFF's are.
        std::vector<std::uint8_t> rgb;
        for (int page = 0; page < kDistinctPages && page < pages; ++page) {
            PaintColourPage(rgb, page);
            images.push_back(testing::JpegImage(imaging::EncodeJpeg({kWidth, kHeight, rgb, 3}, 80),
                                                kWidth, kHeight, 3));
        }
    } else {
        TiffHandle source(TIFFOpen(tiff.c_str(), "r"));
        for (int page = 0; page < kDistinctPages && page < pages; ++page) {
            testing::PdfImage image;
            image.dict = "/Width " + std::to_string(kWidth) + " /Height " +
                         std::to_string(kHeight) +
                         " /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /CCITTFaxDecode "
                         "/DecodeParms << /K -1 /Columns " +
                         std::to_string(kWidth) + " /Rows " + std::to_string(kHeight) + " >>";
            image.data = G4Image(source.get(), page, pdf.string() + ".strip.tif");
            images.push_back(std::move(image));
        }
        fs::remove(pdf.string() + ".strip.tif");
    }
    std::vector<testing::PdfPage> pdfPages;
    for (int page = 0; page < pages; ++page)
        pdfPages.push_back({kPagePoints[0],
                            kPagePoints[1],
                            testing::DrawImage(kPagePoints[0], kPagePoints[1]),
                            {images[static_cast<std::size_t>(page % kDistinctPages)]}});
    testing::WriteTestPdf(pdf, pdfPages);
}

Measure Run(const fs::path& document, const fs::path& out, unsigned jobs, int rounds) {
    Measure best;
    for (int round = 0; round < rounds; ++round) {
        fs::remove_all(out);
        fs::create_directories(out);
        best = Best(best, InChild([&] { return RunConvert(document, out, jobs); }));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int pages = 50, rounds = 2;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int value = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--pages") == 0) {
            pages = value;
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = value;
        } else {
            std::fprintf(stderr, "usage: pdf_bench [--pages N] [--rounds R]\n");
            return 2;
        }
    }
    TIFFSetWarningHandler(nullptr);
    const fs::path folder = fs::temp_directory_path() / ("pdf_bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    for (const bool colour : {false, true}) {
        std::printf("%s pages, A4 at 300 dpi:\n", colour ? "Colour JPEG" : "Book G4");
        for (const int count : {pages, 4 * pages}) {
            const fs::path tiff = folder / "pages.tif", pdf = folder / "pages.pdf";
            if (colour)
                WriteColourDocument(tiff, count);
            else
                WriteBookDocument(tiff, count);
            WritePdf(tiff, pdf, count, colour);
            const Measure tiff1 = Run(tiff, folder / "out", 1, rounds);
            const Measure pdf1 = Run(pdf, folder / "out", 1, rounds);
            Print("TIFF --jobs 1", count, tiff1);
            Print("PDF  --jobs 1", count, pdf1);
            Print("TIFF --jobs 2", count, Run(tiff, folder / "out", 2, rounds));
            Print("PDF  --jobs 2", count, Run(pdf, folder / "out", 2, rounds));
            std::printf("  PDF / TIFF time with --jobs 1: %.3f\n", pdf1.seconds / tiff1.seconds);
        }
    }
    fs::remove_all(folder);
    return 0;
}
