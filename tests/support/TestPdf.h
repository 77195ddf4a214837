#pragma once
// Writes small PDF files for tests: pages of given size whose content streams and images are
// given as they go into the file, so a test states exactly what a page draws. Throws
// std::runtime_error when a file cannot be written.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "TestTiff.h"

namespace vellumark::testing {

struct PdfImage {
    std::string dict;  // the stream dictionary's entries, without << >> and /Length
    std::vector<std::uint8_t> data;
};

struct PdfPage {
    double width = 612;  // points
    double height = 792;
    std::string content;  // the page's content stream; images are /Im0, /Im1, ...; font /F1
    std::vector<PdfImage> images;
    int rotate = 0;
};

// The file's bytes: one object per page, content stream and image, a Helvetica font, xref.
std::vector<std::uint8_t> PdfBytes(const std::vector<PdfPage>& pages);
void WriteTestPdf(const std::filesystem::path& path, const std::vector<PdfPage>& pages);
// The pages written encrypted with AES-256 (qpdf): a reader needs `userPassword` to open the
// file, or nothing when it is empty (only the owner's rights are locked).
void WriteEncryptedPdf(const std::filesystem::path& path, const std::vector<PdfPage>& pages,
                       const std::string& userPassword);

// 8-bit samples (1 or 3 per pixel, rows without padding) compressed with Flate.
PdfImage FlateImage(int width, int height, int components,
                    const std::vector<std::uint8_t>& samples);
// 1-bit rows, each padded to a byte, a set bit white (the PDF default), compressed with Flate.
PdfImage FlateBitsImage(int width, int height, const std::vector<std::uint8_t>& rows);
// The page's bilevel pixels as a CCITT Group 4 image, coded by libtiff.
PdfImage FaxImage(const TestPage& page);
// A JPEG file's bytes as they are, with one (grey) or three (RGB) components.
PdfImage JpegImage(std::vector<std::uint8_t> jpeg, int width, int height, int components);

// Content that draws /Im0 over the whole page.
std::string DrawImage(double width, double height);
// Content that writes `text` in Helvetica at x, y (points from the lower left); invisible
// (rendering mode 3) as an OCR layer is, or shown.
std::string WriteText(double x, double y, double size, const std::string& text,
                      bool invisible = false);

}  // namespace vellumark::testing
