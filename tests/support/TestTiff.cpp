#include "TestTiff.h"

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>

namespace vellumark::testing {
namespace {

constexpr std::uint16_t kStoredTextTag = 37679;

using Colour = std::array<std::uint8_t, 3>;

int Luma(const Colour& c) {
    return (299 * c[0] + 587 * c[1] + 114 * c[2] + 500) / 1000;
}

std::uint32_t Hash(std::uint32_t a, std::uint32_t b) {
    std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0xC2B2AE3Du;
    return h ^ (h >> 13);
}

// Lines of "words": each letter a box with a vertical stroke and a bar, on margins of paper.
bool TextInk(const TestPage& page, int x, int y) {
    const int pitch = std::max(8, page.height / 60);
    const int marginX = page.width / 12, marginY = page.height / 14;
    if (x < marginX || x >= page.width - marginX || y < marginY || y >= page.height - marginY)
        return false;
    const int line = (y - marginY) / pitch, ly = (y - marginY) % pitch;
    if (ly >= pitch * 7 / 10)
        return false;  // leading between lines
    const int letterW = std::max(4, pitch * 6 / 10);
    const int letter = (x - marginX) / letterW, lx = (x - marginX) % letterW;
    const std::uint32_t h =
        Hash(static_cast<std::uint32_t>(letter), static_cast<std::uint32_t>(line));
    if (h % 6 == 0 || lx >= letterW * 8 / 10)
        return false;  // word gaps and letter spacing
    const int stroke = std::max(1, letterW / 5);
    if (lx < stroke || (lx >= letterW * 8 / 10 - stroke && (h & 8)))
        return true;
    const int bar = (h >> 4) % 3;  // top, middle or bottom bar
    const int barY = bar * (pitch * 7 / 10 - stroke) / 2;
    return ly >= barY && ly < barY + stroke;
}

bool IsInk(const TestPage& page, int x, int y) {
    switch (page.fill) {
        case Fill::Solid:
            return true;
        case Fill::LeftHalf:
            return x < page.width / 2;
        case Fill::TopLeftQuarter:
            return x < page.width / 2 && y < page.height / 2;
        case Fill::Text:
            return TextInk(page, x, y);
        case Fill::Photo:
            return true;
    }
    return false;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

void Check(int ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string("test TIFF writer: ") + what);
}

std::uint16_t CompressionFor(const TestPage& page) {
    switch (page.codec) {
        case Codec::None:
            return COMPRESSION_NONE;
        case Codec::Lzw:
            return COMPRESSION_LZW;
        case Codec::Deflate:
            return COMPRESSION_ADOBE_DEFLATE;
        case Codec::PackBits:
            return COMPRESSION_PACKBITS;
        case Codec::G3:
        case Codec::G3TwoD:
            return COMPRESSION_CCITTFAX3;
        case Codec::G4:
            return COMPRESSION_CCITTFAX4;
        case Codec::Jpeg:
            return COMPRESSION_JPEG;
        case Codec::Default:
            break;
    }
    switch (page.layout) {
        case Layout::Bilevel:
            return COMPRESSION_CCITTFAX4;
        case Layout::Grey8:
        case Layout::Rgb:
            return COMPRESSION_LZW;
        case Layout::Grey16:
        case Layout::Rgba:
            return COMPRESSION_ADOBE_DEFLATE;
        case Layout::Palette:
            return COMPRESSION_PACKBITS;
        case Layout::YCbCrJpeg:
            return COMPRESSION_JPEG;
        case Layout::Grey4:
        case Layout::Cmyk:
            return COMPRESSION_NONE;
    }
    return COMPRESSION_NONE;
}

struct Shape {
    int samples = 1;
    int bits = 8;
};

Shape ShapeOf(Layout layout) {
    switch (layout) {
        case Layout::Bilevel:
            return {1, 1};
        case Layout::Grey4:
            return {1, 4};
        case Layout::Grey8:
        case Layout::Palette:
            return {1, 8};
        case Layout::Grey16:
            return {1, 16};
        case Layout::Rgb:
        case Layout::YCbCrJpeg:
            return {3, 8};
        case Layout::Rgba:
        case Layout::Cmyk:
            return {4, 8};
    }
    return {};
}

// The page's samples, one buffer per plane (one buffer in all for contiguous samples), rows
// padded to whole bytes as TIFF stores them.
struct Planes {
    std::vector<std::vector<std::uint8_t>> data;
    std::size_t rowBytes = 0;
};

Planes MakePlanes(const TestPage& page) {
    const Shape shape = ShapeOf(page.layout);
    const bool separate = page.planar && shape.samples > 1;
    const int perPlane = separate ? 1 : shape.samples;
    Planes planes;
    planes.rowBytes = (static_cast<std::size_t>(page.width) * perPlane * shape.bits + 7) / 8;
    planes.data.assign(separate ? shape.samples : 1,
                       std::vector<std::uint8_t>(planes.rowBytes * page.height, 0));
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x) {
            const Colour c = ExpectedColour(page, x, y);
            const bool ink = IsInk(page, x, y);
            std::array<std::uint16_t, 4> s{};
            switch (page.layout) {
                case Layout::Bilevel: {
                    const bool black = Luma(c) < 128;
                    s[0] = page.minIsBlack ? !black : black;
                    break;
                }
                case Layout::Grey4:
                    s[0] = static_cast<std::uint16_t>(Luma(c) >> 4);
                    break;
                case Layout::Grey8:
                    s[0] = static_cast<std::uint16_t>(Luma(c));
                    break;
                case Layout::Grey16:
                    s[0] = static_cast<std::uint16_t>(Luma(c) * 257);
                    break;
                case Layout::Palette:
                    s[0] = ink ? 1 : 0;
                    break;
                case Layout::Rgb:
                case Layout::YCbCrJpeg:
                    s = {c[0], c[1], c[2], 0};
                    break;
                case Layout::Rgba:
                    s = {c[0], c[1], c[2], ink ? page.inkAlpha : std::uint8_t{255}};
                    break;
                case Layout::Cmyk:
                    s = {static_cast<std::uint16_t>(255 - c[0]),
                         static_cast<std::uint16_t>(255 - c[1]),
                         static_cast<std::uint16_t>(255 - c[2]), 0};
                    break;
            }
            for (int i = 0; i < shape.samples; ++i) {
                auto& plane = planes.data[separate ? i : 0];
                std::uint8_t* row = plane.data() + planes.rowBytes * y;
                const std::size_t index =
                    static_cast<std::size_t>(x) * perPlane + (separate ? 0 : i);
                if (shape.bits == 16) {
                    std::memcpy(row + index * 2, &s[i], 2);  // libtiff swaps to the file's order
                } else if (shape.bits == 8) {
                    row[index] = static_cast<std::uint8_t>(s[i]);
                } else {
                    const std::size_t bit = index * shape.bits;
                    const int shift = 8 - shape.bits - static_cast<int>(bit % 8);
                    row[bit / 8] |= static_cast<std::uint8_t>(s[i] << shift);
                }
            }
        }
    }
    return planes;
}

void SetTags(TIFF* tif, const TestPage& page, bool separate) {
    const Shape shape = ShapeOf(page.layout);
    const std::uint16_t compression = CompressionFor(page);
    Check(TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(page.width)), "width");
    Check(TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(page.height)),
          "height");
    Check(TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, shape.bits), "bits");
    Check(TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, shape.samples), "samples");
    Check(TIFFSetField(tif, TIFFTAG_PLANARCONFIG,
                       separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG),
          "planar");
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    switch (page.layout) {
        case Layout::Bilevel:
            photometric = page.minIsBlack ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE;
            break;
        case Layout::Palette:
            photometric = PHOTOMETRIC_PALETTE;
            break;
        case Layout::Rgb:
        case Layout::Rgba:
            photometric = PHOTOMETRIC_RGB;
            break;
        case Layout::Cmyk:
            photometric = PHOTOMETRIC_SEPARATED;
            break;
        case Layout::YCbCrJpeg:
            photometric = PHOTOMETRIC_YCBCR;
            break;
        default:
            break;
    }
    Check(TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric), "photometric");
    Check(TIFFSetField(tif, TIFFTAG_COMPRESSION, compression), "compression");
    if (compression == COMPRESSION_CCITTFAX3)
        Check(TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS,
                           page.codec == Codec::G3TwoD ? GROUP3OPT_2DENCODING : 0),
              "group 3 options");
    if (compression == COMPRESSION_JPEG) {
        Check(TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 90), "JPEG quality");
        if (photometric == PHOTOMETRIC_YCBCR)
            Check(TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB), "JPEG colour mode");
    }
    if (page.layout == Layout::Cmyk)
        Check(TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK), "inks");
    if (page.layout == Layout::Rgba) {
        const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        Check(TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra), "extra samples");
    }
    if (page.layout == Layout::Palette) {
        std::vector<std::uint16_t> r(256, 0), g(256, 0), b(256, 0);
        r[0] = g[0] = b[0] = 65535;
        r[1] = static_cast<std::uint16_t>(page.inkColour[0] * 257);
        g[1] = static_cast<std::uint16_t>(page.inkColour[1] * 257);
        b[1] = static_cast<std::uint16_t>(page.inkColour[2] * 257);
        Check(TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data()), "colour map");
    }
    if (page.orientation != 1)
        Check(TIFFSetField(tif, TIFFTAG_ORIENTATION, page.orientation), "orientation");
    if (page.xResolution > 0 || page.yResolution > 0) {
        Check(TIFFSetField(tif, TIFFTAG_XRESOLUTION, page.xResolution), "x resolution");
        Check(TIFFSetField(tif, TIFFTAG_YRESOLUTION, page.yResolution), "y resolution");
        const std::uint16_t unit = page.unit == ResolutionUnit::None   ? RESUNIT_NONE
                                   : page.unit == ResolutionUnit::Inch ? RESUNIT_INCH
                                                                       : RESUNIT_CENTIMETER;
        Check(TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, unit), "resolution unit");
    }
    if (!page.storedText.empty()) {
        // libtiff forgets registered tags with each new directory: register it per page.
        static const TIFFFieldInfo kStoredText[] = {{kStoredTextTag, TIFF_VARIABLE2, TIFF_VARIABLE2,
                                                     TIFF_BYTE, FIELD_CUSTOM, 1, 1,
                                                     const_cast<char*>("StoredText")}};
        if (!TIFFFindField(tif, kStoredTextTag, TIFF_ANY))
            Check(TIFFMergeFieldInfo(tif, kStoredText, 1) == 0, "stored text field");
        Check(TIFFSetField(tif, kStoredTextTag, static_cast<std::uint32_t>(page.storedText.size()),
                           page.storedText.data()),
              "stored text");
    }
}

void WritePage(TIFF* tif, const TestPage& page) {
    const Shape shape = ShapeOf(page.layout);
    const bool separate = page.planar && shape.samples > 1;
    SetTags(tif, page, separate);
    const Planes planes = MakePlanes(page);
    if (page.tiled) {
        const int tileSize = CompressionFor(page) == COMPRESSION_JPEG ? 64 : 32;
        Check(TIFFSetField(tif, TIFFTAG_TILEWIDTH, tileSize), "tile width");
        Check(TIFFSetField(tif, TIFFTAG_TILELENGTH, tileSize), "tile length");
        const std::size_t tileBytes = static_cast<std::size_t>(TIFFTileSize(tif));
        const std::size_t rowBytes = static_cast<std::size_t>(TIFFTileRowSize(tif));
        std::vector<std::uint8_t> tile(tileBytes);
        for (std::size_t p = 0; p < planes.data.size(); ++p) {
            for (int ty = 0; ty < page.height; ty += tileSize) {
                for (int tx = 0; tx < page.width; tx += tileSize) {
                    // Edge tiles repeat the last row and pixel, as encoders do, so JPEG
                    // tiles do not bleed a black border into the page.
                    std::fill(tile.begin(), tile.end(), 0);
                    const std::size_t offset = rowBytes * (tx / tileSize);
                    const std::size_t n = std::min(rowBytes, planes.rowBytes - offset);
                    const std::size_t pixelBytes = shape.bits >= 8 ? rowBytes / tileSize : 0;
                    for (int y = 0; y < tileSize; ++y) {
                        const int from = std::min(ty + y, page.height - 1);
                        std::uint8_t* to = tile.data() + rowBytes * y;
                        std::memcpy(to, planes.data[p].data() + planes.rowBytes * from + offset, n);
                        for (std::size_t at = n; pixelBytes && at + pixelBytes <= rowBytes;
                             at += pixelBytes)
                            std::memcpy(to + at, to + n - pixelBytes, pixelBytes);
                    }
                    const auto index = TIFFComputeTile(tif, static_cast<std::uint32_t>(tx),
                                                       static_cast<std::uint32_t>(ty), 0,
                                                       static_cast<std::uint16_t>(p));
                    Check(TIFFWriteEncodedTile(tif, index, tile.data(),
                                               static_cast<tmsize_t>(tile.size())) >= 0,
                          "tile");
                }
            }
        }
    } else {
        const int rows =
            page.rowsPerStrip > 0 ? std::min(page.rowsPerStrip, page.height) : page.height;
        Check(TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows), "rows per strip");
        const std::uint32_t stripsPerPlane = (page.height + rows - 1) / rows;
        for (std::size_t p = 0; p < planes.data.size(); ++p) {
            for (std::uint32_t s = 0; s < stripsPerPlane; ++s) {
                const int first = static_cast<int>(s) * rows;
                const int count = std::min(rows, page.height - first);
                Check(TIFFWriteEncodedStrip(tif, static_cast<std::uint32_t>(p) * stripsPerPlane + s,
                                            const_cast<std::uint8_t*>(planes.data[p].data() +
                                                                      planes.rowBytes * first),
                                            static_cast<tmsize_t>(planes.rowBytes * count)) >= 0,
                      "strip");
            }
        }
    }
    Check(TIFFWriteDirectory(tif), "directory");
}

// Minimal IFD walker for patching classic TIFF entries in place.
struct ByteReader {
    std::vector<std::uint8_t>& bytes;
    bool big;
    std::uint32_t Get(std::size_t at, int size) const {
        if (at + size > bytes.size())
            throw std::runtime_error("test TIFF patch: out of range");
        std::uint32_t v = 0;
        for (int i = 0; i < size; ++i)
            v |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * (big ? size - 1 - i : i));
        return v;
    }
    void Put(std::size_t at, int size, std::uint32_t v) {
        for (int i = 0; i < size; ++i)
            bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * (big ? size - 1 - i : i)));
    }
};

void PatchTags(const std::filesystem::path& path, const std::vector<TestPage>& pages) {
    bool any = false;
    for (const auto& p : pages)
        any = any || !p.patchTags.empty();
    if (!any)
        return;
    std::vector<std::uint8_t> bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ByteReader r{bytes, bytes.at(0) == 'M'};
    if (r.Get(2, 2) != 42)
        throw std::runtime_error("test TIFF patch: classic TIFF only");
    std::uint32_t ifd = r.Get(4, 4);
    for (const auto& page : pages) {
        const std::uint32_t count = r.Get(ifd, 2);
        for (const auto& [tag, value] : page.patchTags) {
            bool found = false;
            for (std::uint32_t e = 0; e < count && !found; ++e) {
                const std::size_t at = ifd + 2 + 12 * e;
                if (r.Get(at, 2) != tag)
                    continue;
                found = true;
                r.Put(at + 8, 4, 0);
                if (value > 0xFFFF) {
                    r.Put(at + 2, 2, TIFF_LONG);
                    r.Put(at + 8, 4, value);
                } else if (r.Get(at + 2, 2) == TIFF_SHORT) {
                    r.Put(at + 8, 2, value);
                } else {
                    r.Put(at + 8, 4, value);
                }
            }
            if (!found)
                throw std::runtime_error("test TIFF patch: tag not in the page");
        }
        ifd = r.Get(ifd + 2 + 12 * count, 4);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

std::array<std::uint8_t, 3> ExpectedColour(const TestPage& page, int x, int y) {
    if (page.fill == Fill::Photo) {
        const int w = std::max(1, page.width - 1), h = std::max(1, page.height - 1);
        const int texture = static_cast<int>(
            Hash(static_cast<std::uint32_t>(x / 3), static_cast<std::uint32_t>(y / 3)) % 24);
        auto clamp = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
        return {clamp(x * 230 / w + texture), clamp(y * 230 / h + texture),
                clamp(200 - (x + y) * 150 / (w + h) + texture)};
    }
    return IsInk(page, x, y) ? page.inkColour : Colour{255, 255, 255};
}

void WriteTestTiff(const std::filesystem::path& path, const std::vector<TestPage>& pages,
                   const TestTiffOptions& options) {
    std::string mode = "w";
    mode += options.byteOrder == ByteOrder::BigEndian ? "b" : "l";
    if (options.bigTiff)
        mode += "8";
    {
        TiffPtr tif(TIFFOpen(path.c_str(), mode.c_str()));
        if (!tif)
            throw std::runtime_error("test TIFF writer: cannot create " + path.string());
        for (const auto& page : pages)
            WritePage(tif.get(), page);
    }
    PatchTags(path, pages);
}

void WriteTestMdi(const std::filesystem::path& path, const std::vector<TestPage>& pages) {
    WriteTestTiff(path, pages);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(0);
    file.write("EP", 2);
    if (!file)
        throw std::runtime_error("test TIFF writer: cannot mark " + path.string());
}

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("vellumark-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
             "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace vellumark::testing
