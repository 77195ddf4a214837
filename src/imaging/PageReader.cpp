#include "imaging/PageReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "common/Error.h"
#include "imaging/JpegStrips.h"
#include "imaging/Resampler.h"

namespace vellumark::imaging {
namespace {

enum class Kind { Bits, Grey, Palette, Rgb, Cmyk, Rgba };

// Everything a failure message needs.
struct Context {
    TiffHandle& handle;
    const std::filesystem::path& path;
    int pageIndex;

    [[noreturn]] void Fail(ErrorCode code, const std::string& what) const {
        const std::string why = handle.Messages().Text();
        throw Error(code,
                    path.string() + ": page " + std::to_string(pageIndex + 1) + ": " + what +
                        (why.empty() ? std::string() : " (" + why + ")"),
                    path, pageIndex);
    }
};

struct Plan {
    Kind kind = Kind::Rgba;
    int colourSamples = 1;  // samples before the extra ones
    int alphaIndex = -1;    // sample index of the alpha, -1 for none
    bool associatedAlpha = false;
};

Plan ChoosePlan(TIFF* tif, const PageLayout& page) {
    Plan plan;
    const int bits = page.bitsPerSample, spp = page.samplesPerPixel;
    const int extras = static_cast<int>(page.extraSamples.size());
    if (page.sampleFormat != SAMPLEFORMAT_UINT && page.sampleFormat != SAMPLEFORMAT_VOID)
        return plan;
    if (page.compression == COMPRESSION_OJPEG || spp < 1 || extras >= spp)
        return plan;
    plan.colourSamples = spp - extras;
    if (extras > 0 && (page.extraSamples[0] == EXTRASAMPLE_ASSOCALPHA ||
                       page.extraSamples[0] == EXTRASAMPLE_UNASSALPHA)) {
        plan.alphaIndex = plan.colourSamples;
        plan.associatedAlpha = page.extraSamples[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    const bool separate = page.planar == PLANARCONFIG_SEPARATE && spp > 1;
    const bool wholeBytes = bits == 8 || bits == 16;
    if (separate && !wholeBytes)
        return plan;
    const bool smallBits = bits == 1 || bits == 2 || bits == 4;

    switch (page.photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
            if (plan.colourSamples != 1 || !(smallBits || wholeBytes))
                return plan;
            plan.kind = bits == 1 && spp == 1 ? Kind::Bits : Kind::Grey;
            break;
        case PHOTOMETRIC_PALETTE:
            if (plan.colourSamples != 1 || !(smallBits || bits == 8))
                return plan;
            plan.kind = Kind::Palette;
            plan.alphaIndex = -1;
            break;
        case PHOTOMETRIC_RGB:
            if (plan.colourSamples < 3 || !wholeBytes)
                return plan;
            plan.kind = Kind::Rgb;
            break;
        case PHOTOMETRIC_SEPARATED:
            if (page.inkSet != INKSET_CMYK || plan.colourSamples < 4 || !wholeBytes)
                return plan;
            plan.kind = Kind::Cmyk;
            break;
        case PHOTOMETRIC_YCBCR:
            // The JPEG codec converts to RGB itself (and undoes the subsampling).
            if (page.compression != COMPRESSION_JPEG || separate || bits != 8 ||
                plan.colourSamples != 3)
                return plan;
            if (!TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
                return plan;
            plan.kind = Kind::Rgb;
            break;
        default:
            return plan;
    }
    if (page.tiled) {
        std::uint32_t tileWidth = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        // Tiles must start on whole bytes to be placed side by side.
        const std::uint64_t tileBits =
            std::uint64_t{tileWidth} * (separate ? 1 : static_cast<std::uint64_t>(spp)) * bits;
        if (tileWidth == 0 || tileBits % 8 != 0)
            plan.kind = Kind::Rgba;
    }
    return plan;
}

// Sample i of a row of samples of the given depth (16-bit samples are in native order).
template <int Bits>
inline std::uint32_t SampleAt(const std::uint8_t* row, std::size_t i) {
    if constexpr (Bits == 8) {
        return row[i];
    } else if constexpr (Bits == 16) {
        std::uint16_t v;
        std::memcpy(&v, row + 2 * i, 2);
        return v;
    } else {
        const std::size_t bit = i * Bits;
        return (row[bit / 8] >> (8 - Bits - bit % 8)) & ((1u << Bits) - 1);
    }
}

template <int Bits>
inline std::uint32_t To8(std::uint32_t v) {
    if constexpr (Bits == 8)
        return v;
    if constexpr (Bits == 16)
        return (v + 128) / 257;
    return v * 255 / ((1u << Bits) - 1);
}

inline std::uint32_t OverWhite(std::uint32_t v, std::uint32_t alpha, bool associated) {
    if (associated)
        return std::min<std::uint32_t>(255, v + 255 - std::min<std::uint32_t>(alpha, 255));
    return (v * alpha + 255 * (255 - alpha) + 127) / 255;
}

// Turns decoded rows (contiguous samples) into 8-bit grey or RGB rows for the resampler.
class RowConverter {
public:
    RowConverter(TIFF* tif, const PageLayout& page, const Plan& plan, Resampler& resampler)
        : page_(page), plan_(plan), resampler_(resampler) {
        const std::size_t width = page.width;
        out_.resize(width * 3);
        if (plan.kind == Kind::Palette) {
            std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
            if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b)
                missingColourMap_ = true;
            else
                MakePalette(r, g, b, std::size_t{1} << page.bitsPerSample);
        }
    }
    bool MissingColourMap() const { return missingColourMap_; }

    void Add(const std::uint8_t* row) {
        switch (page_.bitsPerSample) {
            case 1:
                AddWith<1>(row);
                break;
            case 2:
                AddWith<2>(row);
                break;
            case 4:
                AddWith<4>(row);
                break;
            case 8:
                AddWith<8>(row);
                break;
            default:
                AddWith<16>(row);
                break;
        }
    }

private:
    void MakePalette(const std::uint16_t* r, const std::uint16_t* g, const std::uint16_t* b,
                     std::size_t n) {
        // Some writers store 8-bit values in the 16-bit map.
        bool eightBit = true;
        for (std::size_t i = 0; i < n; ++i)
            eightBit = eightBit && r[i] < 256 && g[i] < 256 && b[i] < 256;
        auto scale = [&](std::uint16_t v) {
            return static_cast<std::uint8_t>(eightBit ? v : (v + 128u) / 257u);
        };
        palette_.assign(256, {255, 255, 255});
        for (std::size_t i = 0; i < n && i < 256; ++i)
            palette_[i] = {scale(r[i]), scale(g[i]), scale(b[i])};
    }

    template <int Bits>
    void AddWith(const std::uint8_t* row) {
        const std::size_t width = page_.width, spp = page_.samplesPerPixel;
        std::uint8_t* out = out_.data();
        const bool alpha = plan_.alphaIndex >= 0;
        switch (plan_.kind) {
            case Kind::Bits:
                resampler_.AddBitsRow(row, page_.photometric == PHOTOMETRIC_MINISWHITE);
                return;
            case Kind::Grey: {
                const bool invert = page_.photometric == PHOTOMETRIC_MINISWHITE;
                if (Bits == 8 && spp == 1 && !invert) {
                    resampler_.AddRow(row);
                    return;
                }
                for (std::size_t x = 0; x < width; ++x) {
                    std::uint32_t v = To8<Bits>(SampleAt<Bits>(row, x * spp));
                    if (invert)
                        v = 255 - v;
                    if (alpha)
                        v = OverWhite(v, To8<Bits>(SampleAt<Bits>(row, x * spp + plan_.alphaIndex)),
                                      plan_.associatedAlpha);
                    out[x] = static_cast<std::uint8_t>(v);
                }
                resampler_.AddRow(out);
                return;
            }
            case Kind::Palette:
                for (std::size_t x = 0; x < width; ++x) {
                    const auto& c = palette_[SampleAt<Bits>(row, x * spp) & 0xFF];
                    std::memcpy(out + 3 * x, c.data(), 3);
                }
                resampler_.AddRow(out);
                return;
            case Kind::Rgb:
                if (Bits == 8 && spp == 3) {
                    resampler_.AddRow(row);
                    return;
                }
                for (std::size_t x = 0; x < width; ++x) {
                    const std::size_t i = x * spp;
                    const std::uint32_t a =
                        alpha ? To8<Bits>(SampleAt<Bits>(row, i + plan_.alphaIndex)) : 255;
                    for (int c = 0; c < 3; ++c) {
                        const std::uint32_t v = To8<Bits>(SampleAt<Bits>(row, i + c));
                        out[3 * x + c] = static_cast<std::uint8_t>(
                            alpha ? OverWhite(v, a, plan_.associatedAlpha) : v);
                    }
                }
                resampler_.AddRow(out);
                return;
            case Kind::Cmyk:
                for (std::size_t x = 0; x < width; ++x) {
                    const std::size_t i = x * spp;
                    const std::uint32_t k = 255 - To8<Bits>(SampleAt<Bits>(row, i + 3));
                    const std::uint32_t a =
                        alpha ? To8<Bits>(SampleAt<Bits>(row, i + plan_.alphaIndex)) : 255;
                    for (int c = 0; c < 3; ++c) {
                        const std::uint32_t ink = To8<Bits>(SampleAt<Bits>(row, i + c));
                        const std::uint32_t v = ((255 - ink) * k + 127) / 255;
                        out[3 * x + c] = static_cast<std::uint8_t>(
                            alpha ? OverWhite(v, a, plan_.associatedAlpha) : v);
                    }
                }
                resampler_.AddRow(out);
                return;
            case Kind::Rgba:
                break;
        }
    }

    const PageLayout& page_;
    const Plan& plan_;
    Resampler& resampler_;
    std::vector<std::uint8_t> out_;
    std::vector<std::array<std::uint8_t, 3>> palette_;
    bool missingColourMap_ = false;
};

std::vector<std::uint8_t> Buffer(const Context& context, std::uint64_t bytes) {
    if (bytes == 0 || bytes > kMaxBandBytes)
        context.Fail(ErrorCode::TooLarge, "its strips or tiles are too large to decode");
    return std::vector<std::uint8_t>(static_cast<std::size_t>(bytes));
}

// Contiguous strips: one scanline at a time, so a page stored as one big strip still needs
// only a row of memory (libtiff reads the strip's data in pieces).
template <typename Rows>
void ReadScanlines(const Context& context, TIFF* tif, const PageLayout& page, Rows& rows) {
    // A few spare bytes: bits rows are read a byte at a time past the last pixel.
    std::vector<std::uint8_t> line =
        Buffer(context, static_cast<std::uint64_t>(TIFFScanlineSize64(tif)) + 8);
    for (std::uint32_t y = 0; y < page.height; ++y) {
        if (TIFFReadScanline(tif, line.data(), y, 0) < 0)
            context.Fail(ErrorCode::BadInput, "damaged image data in row " + std::to_string(y + 1));
        rows.Add(line.data());
    }
}

// Tiles, or separate planes: a band of rows (a row of tiles, or a strip of each plane) is
// decoded and handed on row by row, its planes interleaved.
template <typename Rows>
void ReadBands(const Context& context, TIFF* tif, const PageLayout& page, Rows& rows) {
    const bool separate = page.planar == PLANARCONFIG_SEPARATE && page.samplesPerPixel > 1;
    const int planes = separate ? page.samplesPerPixel : 1;
    const std::uint64_t planeRowBytes = static_cast<std::uint64_t>(TIFFScanlineSize64(tif));
    if (planeRowBytes == 0)
        context.Fail(ErrorCode::BadInput, "bad row size");
    std::uint32_t bandRows = 0, tileWidth = 0;
    std::uint64_t tileRowBytes = 0, pieceBytes = 0;
    if (page.tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &bandRows);
        tileRowBytes = static_cast<std::uint64_t>(TIFFTileRowSize64(tif));
        pieceBytes = static_cast<std::uint64_t>(TIFFTileSize64(tif));
        if (tileWidth == 0 || bandRows == 0 || tileRowBytes == 0 ||
            pieceBytes < tileRowBytes * bandRows)
            context.Fail(ErrorCode::BadInput, "bad tile size");
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &bandRows);
        bandRows = std::clamp<std::uint32_t>(bandRows, 1, page.height);
        pieceBytes = static_cast<std::uint64_t>(TIFFStripSize64(tif));
    }
    bandRows = std::min(bandRows, page.height);
    const std::uint64_t rowBytes = planeRowBytes * planes;
    const std::uint64_t bandBytes = rowBytes * bandRows;
    if (bandBytes / bandRows != rowBytes || bandBytes * 2 > kMaxBandBytes)
        context.Fail(ErrorCode::TooLarge, "its strips or tiles are too large to decode");
    std::vector<std::uint8_t> band = Buffer(context, bandBytes + 8);
    std::vector<std::uint8_t> planeBand =
        separate ? Buffer(context, planeRowBytes * bandRows) : std::vector<std::uint8_t>();
    std::vector<std::uint8_t> piece = Buffer(context, pieceBytes);
    const int sampleBytes = page.bitsPerSample / 8;

    for (std::uint32_t top = 0; top < page.height; top += bandRows) {
        const std::uint32_t count = std::min(bandRows, page.height - top);
        for (int p = 0; p < planes; ++p) {
            std::uint8_t* target = separate ? planeBand.data() : band.data();
            if (page.tiled) {
                for (std::uint32_t x = 0; x < page.width; x += tileWidth) {
                    const ttile_t tile =
                        TIFFComputeTile(tif, x, top, 0, static_cast<std::uint16_t>(p));
                    if (TIFFReadEncodedTile(tif, tile, piece.data(),
                                            static_cast<tmsize_t>(pieceBytes)) < 0)
                        context.Fail(ErrorCode::BadInput,
                                     "damaged tile " + std::to_string(tile + 1));
                    const std::uint64_t offset = tileRowBytes * (x / tileWidth);
                    if (offset >= planeRowBytes)
                        break;
                    const std::uint64_t n = std::min(tileRowBytes, planeRowBytes - offset);
                    for (std::uint32_t r = 0; r < count; ++r)
                        std::memcpy(target + planeRowBytes * r + offset,
                                    piece.data() + tileRowBytes * r, n);
                }
            } else {
                const tstrip_t strip = TIFFComputeStrip(tif, top, static_cast<std::uint16_t>(p));
                const tmsize_t want = static_cast<tmsize_t>(planeRowBytes * count);
                if (static_cast<std::uint64_t>(want) > pieceBytes ||
                    TIFFReadEncodedStrip(tif, strip, piece.data(), want) < 0)
                    context.Fail(ErrorCode::BadInput, "damaged strip " + std::to_string(strip + 1));
                std::memcpy(target, piece.data(), static_cast<std::size_t>(want));
            }
            if (separate) {
                for (std::uint32_t r = 0; r < count; ++r) {
                    const std::uint8_t* from = planeBand.data() + planeRowBytes * r;
                    std::uint8_t* to =
                        band.data() + rowBytes * r + static_cast<std::size_t>(p) * sampleBytes;
                    for (std::uint32_t x = 0; x < page.width; ++x)
                        std::memcpy(to + static_cast<std::size_t>(x) * planes * sampleBytes,
                                    from + static_cast<std::size_t>(x) * sampleBytes, sampleBytes);
                }
            }
        }
        for (std::uint32_t r = 0; r < count; ++r)
            rows.Add(band.data() + rowBytes * r);
    }
}

// Bilevel rows kept whole, ink as set bits.
class BitRows {
public:
    BitRows(const PageLayout& page, BitPicture& out)
        : out_(out), oneIsInk_(page.photometric != PHOTOMETRIC_MINISBLACK) {}

    void Add(const std::uint8_t* row) {
        if (y_ < out_.height)
            SetBitsRow(out_, y_++, row, oneIsInk_);
    }
    int Rows() const { return y_; }

private:
    BitPicture& out_;
    bool oneIsInk_;
    int y_ = 0;
};

struct RgbaImageEnd {
    void operator()(TIFFRGBAImage* image) const { TIFFRGBAImageEnd(image); }
};

// libtiff's general reader, for layouts the direct path does not handle (old-style JPEG,
// uncompressed YCbCr, CIE L*a*b*, odd depths...). Asked for rows in stored order.
void ReadThroughRgba(const Context& context, TIFF* tif, const PageLayout& page,
                     Resampler& resampler) {
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message))
        context.Fail(ErrorCode::Unsupported, std::string("this layout cannot be read: ") + message);
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageBegin(&image, tif, 0, message))
        context.Fail(ErrorCode::BadInput, std::string("cannot be decoded: ") + message);
    std::unique_ptr<TIFFRGBAImage, RgbaImageEnd> end(&image);
    image.req_orientation = ORIENTATION_TOPLEFT;
    image.orientation = ORIENTATION_TOPLEFT;
    std::uint32_t band = 0;
    if (page.tiled)
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &band);
    else
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &band);
    const std::uint64_t rowBytes = std::uint64_t{page.width} * 4;
    band = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(
        band, 1, std::max<std::uint64_t>(1, kMaxBandBytes / 2 / rowBytes)));
    band = std::min(band, page.height);
    std::vector<std::uint8_t> rasterBytes = Buffer(context, rowBytes * band);
    auto* raster = reinterpret_cast<std::uint32_t*>(rasterBytes.data());
    std::vector<std::uint8_t> rgb(std::size_t{page.width} * 3);
    for (std::uint32_t top = 0; top < page.height; top += band) {
        const std::uint32_t count = std::min(band, page.height - top);
        image.row_offset = static_cast<int>(top);
        image.col_offset = 0;
        if (!TIFFRGBAImageGet(&image, raster, page.width, count))
            context.Fail(ErrorCode::BadInput,
                         "damaged image data near row " + std::to_string(top + 1));
        for (std::uint32_t r = 0; r < count; ++r) {
            const std::uint32_t* px = raster + std::size_t{page.width} * r;
            for (std::uint32_t x = 0; x < page.width; ++x) {
                // Colours come premultiplied by their alpha.
                const std::uint32_t paper = 255 - TIFFGetA(px[x]);
                rgb[3 * x] = static_cast<std::uint8_t>(
                    std::min<std::uint32_t>(255, TIFFGetR(px[x]) + paper));
                rgb[3 * x + 1] = static_cast<std::uint8_t>(
                    std::min<std::uint32_t>(255, TIFFGetG(px[x]) + paper));
                rgb[3 * x + 2] = static_cast<std::uint8_t>(
                    std::min<std::uint32_t>(255, TIFFGetB(px[x]) + paper));
            }
            resampler.AddRow(rgb.data());
        }
    }
}

}  // namespace

Picture ReadPage(TiffHandle& handle, const PageLayout& page, int width, int height,
                 const std::filesystem::path& path, int pageIndex, bool general) {
    const Context context{handle, path, pageIndex};
    TIFF* tif = handle.Get();
    if (page.width == 0 || page.height == 0)
        context.Fail(ErrorCode::BadInput, "the page has no pixels");
    if (const int shrink = general ? 1 : JpegShrink(tif, page, width, height); shrink > 1) {
        const auto [shrunkWidth, shrunkHeight] = ShrunkSize(page, shrink);
        Resampler resampler(shrunkWidth, shrunkHeight, width, height,
                            page.photometric == PHOTOMETRIC_MINISBLACK ? 1 : 3);
        if (const auto failure = ReadJpegStrips(tif, page, shrink, resampler))
            context.Fail(ErrorCode::BadInput, *failure);
        return resampler.Finish();
    }
    const Plan plan = general ? Plan{} : ChoosePlan(tif, page);
    const int channels = plan.kind == Kind::Bits || plan.kind == Kind::Grey ? 1 : 3;
    Resampler resampler(static_cast<int>(page.width), static_cast<int>(page.height), width, height,
                        channels);
    if (plan.kind == Kind::Rgba) {
        ReadThroughRgba(context, tif, page, resampler);
    } else {
        RowConverter rows(tif, page, plan, resampler);
        if (rows.MissingColourMap())
            context.Fail(ErrorCode::BadInput, "the palette is missing");
        const bool separate = page.planar == PLANARCONFIG_SEPARATE && page.samplesPerPixel > 1;
        if (page.tiled || separate)
            ReadBands(context, tif, page, rows);
        else
            ReadScanlines(context, tif, page, rows);
    }
    if (resampler.RowsAdded() != static_cast<int>(page.height))
        context.Fail(ErrorCode::BadInput, "rows are missing");
    return resampler.Finish();
}

std::optional<BitPicture> ReadPageBits(TiffHandle& handle, const PageLayout& page,
                                       const std::filesystem::path& path, int pageIndex) {
    const Context context{handle, path, pageIndex};
    TIFF* tif = handle.Get();
    if (page.width == 0 || page.height == 0 || page.width > INT32_MAX - 64 ||
        page.height > INT32_MAX)
        return std::nullopt;
    if (ChoosePlan(tif, page).kind != Kind::Bits)
        return std::nullopt;
    BitPicture out(static_cast<int>(page.width), static_cast<int>(page.height));
    BitRows rows(page, out);
    if (page.tiled)
        ReadBands(context, tif, page, rows);
    else
        ReadScanlines(context, tif, page, rows);
    if (rows.Rows() != out.height)
        context.Fail(ErrorCode::BadInput, "rows are missing");
    return out;
}

}  // namespace vellumark::imaging
