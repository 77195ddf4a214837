#pragma once
// Scanned-looking test documents: lines of text drawn with FreeType onto bilevel pages and
// written as a multi-page CCITT G4 TIFF (or an MDI file). Used by makesample, tests and
// benchmarks; nothing here is part of the product.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "imaging/text/TextLayer.h"

namespace vellumark::tools {

// A bilevel page, one bit per pixel, rows padded to whole bytes, most significant bit first,
// 1 = black (as TIFF's PhotometricInterpretation "min is white" stores it).
struct BilevelPage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bits;

    int Stride() const { return (width + 7) / 8; }
    bool Black(int x, int y) const {
        return (bits[static_cast<std::size_t>(y) * Stride() + x / 8] >> (7 - x % 8)) & 1;
    }
    void SetBlack(int x, int y) {
        bits[static_cast<std::size_t>(y) * Stride() + x / 8] |=
            static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
};

struct TextLine {
    std::string text;    // UTF-8
    double points = 12;  // type size; blank text just advances the pen
};

struct PageLayout {
    int dpi = 300;
    int width = 2480;  // A4 at 300 dpi
    int height = 3508;
    int margin = 300;          // one inch on every side
    double lineSpacing = 1.5;  // multiple of the type size
    // A font file; empty picks DejaVu Serif from the usual Debian place.
    std::filesystem::path font;
    // Sparse dust specks, as a scanner leaves them; 0 for a clean page. Deterministic.
    int specks = 0;
    unsigned seed = 1;
};

// Draws the lines top to bottom from the top margin; text beyond the right margin or below the
// bottom margin is clipped. Throws vellumark::Error (Io) when the font cannot be loaded.
BilevelPage RenderPage(const std::vector<TextLine>& lines, const PageLayout& layout = {});

// Draws each word at its box (the top-left corner, the box's height as the letters' size),
// `scale` times larger: the words of a page typeset in code, as a scanner would see them.
BilevelPage RenderWords(const std::vector<imaging::Word>& words, int width, int height,
                        double scale, const PageLayout& layout = {});

// Breaks a paragraph into lines that fit between the margins at the given size.
std::vector<TextLine> WrapParagraph(const std::string& text, double points,
                                    const PageLayout& layout = {});

// Plausible English-looking filler text of about `words` words, the same for the same seed.
std::string FillerText(unsigned seed, int words);

struct WriteOptions {
    int dpi = 300;
    int dpiAcross = 0;  // across the rows, when not `dpi` (a fax's pixels are not square)
    // Write an MDI file: the TIFF's byte-order mark "II" replaced by "EP".
    bool mdi = false;
    // Per page, OCR text stored in tag 37679 as UTF-8 bytes (BYTE type); nullopt or a missing entry
    // writes no tag for that page.
    std::vector<std::optional<std::string>> storedText;
    // TIFF Orientation of every page, written when not 1: the bits are stored as the tag says,
    // so a page shown upright needs them turned first.
    int orientation = 1;
};

// Writes the pages as one little-endian TIFF, CCITT G4, resolution in inches. The file is
// written whole or not at all. Throws vellumark::Error (Io) on failure.
void WriteScan(const std::filesystem::path& path, const std::vector<BilevelPage>& pages,
               const WriteOptions& options = {});

// The three pages of the bundled sample, each with words found on no other page.
std::vector<std::vector<TextLine>> SampleDocument(const PageLayout& layout = {});

}  // namespace vellumark::tools
