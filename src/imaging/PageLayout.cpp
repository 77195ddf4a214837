#include "imaging/PageLayout.h"

#include <cmath>

namespace vellumark::imaging {

PageLayout ReadPageLayout(TIFF* tif) {
    PageLayout page;
    page.directoryOffset = TIFFCurrentDirOffset(tif);
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &page.bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &page.samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &page.sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &page.compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &page.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &page.orientation);
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &page.inkSet);
    if (page.orientation < 1 || page.orientation > 8)
        page.orientation = ORIENTATION_TOPLEFT;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &page.photometric)) {
        // Files without the tag exist; guess as most readers do.
        page.photometric = page.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE;
    }
    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extra)
        page.extraSamples.assign(extra, extra + extraCount);
    page.tiled = TIFFIsTiled(tif) != 0;

    float x = 0, y = 0;
    std::uint16_t unit = RESUNIT_INCH;
    const bool hasX = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) != 0;
    const bool hasY = TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) != 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    auto usable = [](float v) { return std::isfinite(v) && v > 0; };
    if (!usable(x) || !hasX)
        x = hasY && usable(y) ? y : 0;
    if (!usable(y) || !hasY)
        y = x;
    if (unit == RESUNIT_INCH || unit == RESUNIT_CENTIMETER) {
        const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
        page.xDpi = x * perInch;
        page.yDpi = y * perInch;
    }
    if (!PlausibleResolution(page.xDpi, page.yDpi, page.width, page.height))
        page.xDpi = page.yDpi = 0;
    return page;
}

PageKind KindOf(const PageLayout& page) {
    switch (page.photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
            return page.bitsPerSample == 1 && page.samplesPerPixel == 1 ? PageKind::Bilevel
                                                                        : PageKind::Grey;
        case PHOTOMETRIC_LOGL:
            return PageKind::Grey;
        default:
            return PageKind::Colour;
    }
}

std::string LayoutName(const PageLayout& page) {
    const std::string bits = " " + std::to_string(page.bitsPerSample) + "-bit";
    std::string name;
    switch (page.photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
            name = page.bitsPerSample == 1 ? "bilevel" : "grey" + bits;
            break;
        case PHOTOMETRIC_PALETTE:
            name = "palette" + bits;
            break;
        case PHOTOMETRIC_RGB:
            name = "RGB" + bits;
            break;
        case PHOTOMETRIC_SEPARATED:
            name = (page.inkSet == INKSET_CMYK ? "CMYK" : "inks") + bits;
            break;
        case PHOTOMETRIC_YCBCR:
            name = "YCbCr" + bits;
            break;
        case PHOTOMETRIC_CIELAB:
            name = "CIE L*a*b*" + bits;
            break;
        case PHOTOMETRIC_LOGL:
            name = "LogL";
            break;
        case PHOTOMETRIC_LOGLUV:
            name = "LogLuv";
            break;
        default:
            name = "photometric " + std::to_string(page.photometric) + bits;
            break;
    }
    if (page.sampleFormat == SAMPLEFORMAT_IEEEFP)
        name += " float";
    for (std::uint16_t e : page.extraSamples) {
        if (e == EXTRASAMPLE_ASSOCALPHA || e == EXTRASAMPLE_UNASSALPHA) {
            name += ", alpha";
            break;
        }
    }
    if (page.planar == PLANARCONFIG_SEPARATE && page.samplesPerPixel > 1)
        name += ", planar";
    if (page.tiled)
        name += ", tiled";
    return name;
}

bool IsMdiCodec(std::uint16_t compression) {
    return compression == 34718 || compression == 34719 || compression == 34720;
}

std::string CodecName(std::uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE:
            return "none";
        case COMPRESSION_CCITTRLE:
            return "CCITT RLE";
        case COMPRESSION_CCITTRLEW:
            return "CCITT RLEW";
        case COMPRESSION_CCITTFAX3:
            return "CCITT G3";
        case COMPRESSION_CCITTFAX4:
            return "CCITT G4";
        case COMPRESSION_LZW:
            return "LZW";
        case COMPRESSION_OJPEG:
            return "old-style JPEG";
        case COMPRESSION_JPEG:
            return "JPEG";
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
            return "Deflate";
        case COMPRESSION_PACKBITS:
            return "PackBits";
        case COMPRESSION_JBIG:
            return "JBIG";
        case COMPRESSION_LZMA:
            return "LZMA";
        case COMPRESSION_ZSTD:
            return "Zstandard";
        case COMPRESSION_WEBP:
            return "WebP";
        case COMPRESSION_JXL:
            return "JPEG XL";
        default:
            break;
    }
    if (IsMdiCodec(compression))
        return "MDI codec " + std::to_string(compression);
    return "compression " + std::to_string(compression);
}

std::int64_t PictureLength(std::uint32_t pixels, double dpi) {
    if (!(dpi > 0))
        return std::max<std::int64_t>(1, pixels);
    const double length = std::round(pixels * 96.0 / dpi);
    if (length >= 9.0e15)
        return static_cast<std::int64_t>(9.0e15);
    return std::max<std::int64_t>(1, static_cast<std::int64_t>(length));
}

}  // namespace vellumark::imaging
