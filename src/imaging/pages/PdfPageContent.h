#pragma once
// What a PDF file's pages draw, read with qpdf from their content streams: whether a page is
// one scanned image covering it (the common case for scans: the image, perhaps an invisible OCR
// text layer, nothing else seen), and that image's coding and bytes. Such a page is read at the
// image's own pixels instead of being rendered.
//
// qpdf's headers do not build as C++20 with clang, so they stay in this file's source, which is
// built as C++17 there; this header uses nothing newer. Threads: every call opens the file
// afresh, so calls from several threads do not wait for one another.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "imaging/PageSource.h"
#include "imaging/pages/FaxCoding.h"

class QPDF;

namespace vellumark::imaging {

// How the program decodes a page's image itself; Rendered: it leaves that to the renderer.
enum class PdfImageCoding { Rendered, Jpeg, Samples, Fax };

struct PdfPageImage {
    int object = 0;  // the image stream's object number and generation
    int generation = 0;
    int width = 0;  // the image's own pixels
    int height = 0;
    double xDpi = 0;  // its pixels per inch on the page
    double yDpi = 0;
    PageKind kind = PageKind::Colour;
    PdfImageCoding coding = PdfImageCoding::Rendered;
    int channels = 1;         // Samples: 1 or 3 channels of 8 bits, or 1 channel of 1 bit
    int bits = 8;             // Samples: 1 or 8
    bool oneIsBlack = false;  // 1-bit Samples: whether a set bit shows black
    FaxCoding fax;            // Fax
    std::string codec;        // as `vellumark info` names it: "JPEG", "CCITT G4", "JBIG2", ...
    std::string layout;       // "bilevel", "grey 8-bit", "RGB 8-bit", ...
};

// Throws vellumark::Error (BadInput): "PATH: WHAT", or "PATH: page N: WHAT".
[[noreturn]] void FailPdf(const std::filesystem::path& path, const std::string& what,
                          std::optional<int> page = std::nullopt);

// Each page's one image, in page order: set where the page shows nothing else and the image
// covers its crop box upright; none for a page that draws more, or that qpdf cannot follow.
// Empty when qpdf cannot list the pages. Throws vellumark::Error (BadInput) naming the file when
// qpdf cannot open it.
std::vector<std::optional<PdfPageImage>> FindPageImages(const std::filesystem::path& path);

// The image streams of one file. Thread-safe: each call reads through an opened copy of the
// file no other thread is using, and copies are kept for the next calls.
class PdfStreams {
public:
    explicit PdfStreams(std::filesystem::path path);
    ~PdfStreams();
    PdfStreams(const PdfStreams&) = delete;
    PdfStreams& operator=(const PdfStreams&) = delete;

    // The image's stream: its bytes as stored (`decoded` false: a JPEG or fax image), or with
    // its stream filters undone; no more than `limit` bytes either way (a Flate bomb inflates
    // no further). Throws vellumark::Error (BadInput) naming the file and page when it cannot
    // be read.
    std::vector<std::uint8_t> Read(int page, const PdfPageImage& image, bool decoded,
                                   std::size_t limit) const;

private:
    std::filesystem::path path_;
    mutable std::mutex mutex_;
    mutable std::vector<std::unique_ptr<QPDF>> idle_;
};

}  // namespace vellumark::imaging
