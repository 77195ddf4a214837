#pragma once
// Writes small multi-page TIFF and MDI files for tests, from a description of each page.
// Every function throws std::runtime_error when libtiff refuses to write; none is thread-safe
// with respect to the same output path.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace vellumark::testing {

// How a page's pixels are stored.
enum class Layout {
    Bilevel,    // 1 bit per pixel; default codec CCITT G4
    Grey4,      // 4-bit grey, min-is-black; default codec none
    Grey8,      // 8-bit grey, min-is-black; default codec LZW
    Grey16,     // 16-bit grey, min-is-black; default codec Deflate
    Palette,    // 8-bit palette (index 0 paper, 1 ink); default codec PackBits
    Rgb,        // 8-bit RGB; default codec LZW
    Rgba,       // 8-bit RGB with unassociated alpha; default codec Deflate
    Cmyk,       // 8-bit CMYK (ink = 255 - RGB, no black); default codec none
    YCbCrJpeg,  // YCbCr photometric, JPEG codec (quality 90, 2x2 subsampling)
};

enum class Codec { Default, None, Lzw, Deflate, PackBits, G3, G3TwoD, G4, Jpeg };

enum class ResolutionUnit { None, Inch, Centimetre };

// What is painted: pixels are either "ink" (the page's inkColour) or paper (white).
enum class Fill {
    Solid,           // all ink
    LeftHalf,        // ink in the left half (x < width / 2), paper on the right
    TopLeftQuarter,  // ink where x < width / 2 and y < height / 2: shows orientation
    Text,            // text-like lines of ink blobs on paper (deterministic)
    Photo,           // smooth colour gradient over the whole page, inkColour ignored
};

struct TestPage {
    int width = 64;
    int height = 48;
    // Both 0: no resolution tags are written.
    double xResolution = 0;
    double yResolution = 0;
    ResolutionUnit unit = ResolutionUnit::Inch;
    Layout layout = Layout::Grey8;
    Codec codec = Codec::Default;
    bool tiled = false;       // 32 x 32 tiles (64 x 64 for JPEG); otherwise 16-row strips
    bool planar = false;      // separate planes (RGB, RGBA, CMYK only)
    bool minIsBlack = false;  // bilevel photometric; false writes min-is-white (fax style)
    int orientation = 1;      // TIFF Orientation tag, written when not 1
    Fill fill = Fill::LeftHalf;
    std::array<std::uint8_t, 3> inkColour{0, 0, 0};
    std::uint8_t inkAlpha = 255;  // alpha of ink pixels for Layout::Rgba; paper is opaque
    std::string storedText;       // written as MDI OCR text (tag 37679, BYTE) when not empty
    int rowsPerStrip = 16;        // strips only; 0 writes the whole page as one strip
    // Tag values to overwrite in the written file (SHORT or LONG tags with one value), e.g.
    // {259, 34718} to claim an MDI codec or {256, 200000} to claim a huge width. Classic TIFF.
    std::vector<std::pair<std::uint16_t, std::uint32_t>> patchTags;
};

enum class ByteOrder { LittleEndian, BigEndian };

struct TestTiffOptions {
    ByteOrder byteOrder = ByteOrder::LittleEndian;
    bool bigTiff = false;
};

// The colour the page's pixel (x, y) is painted with: what a reader should see (before any
// layout loses precision: bilevel turns colours into black or white by their luma, grey
// layouts keep the luma).
std::array<std::uint8_t, 3> ExpectedColour(const TestPage& page, int x, int y);

void WriteTestTiff(const std::filesystem::path& path, const std::vector<TestPage>& pages,
                   const TestTiffOptions& options = {});

// The same bytes as a little-endian TIFF, with "EP" in place of "II" as MDI files have.
void WriteTestMdi(const std::filesystem::path& path, const std::vector<TestPage>& pages);

// A fresh empty folder under the system temporary folder, removed when the object dies.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace vellumark::testing
