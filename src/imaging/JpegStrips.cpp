#include "imaging/JpegStrips.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "imaging/JpegErrors.h"
#include "imaging/PageReader.h"

namespace vellumark::imaging {
namespace {

bool Grey(const PageLayout& page) {
    return page.photometric == PHOTOMETRIC_MINISBLACK;
}

std::uint32_t RowsPerStrip(TIFF* tif, const PageLayout& page) {
    std::uint32_t rows = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
    return std::clamp<std::uint32_t>(rows, 1, page.height);
}

// What one strip is decoded into.
struct Strip {
    const std::uint8_t* data;
    std::size_t size;
    int shrink;
    J_COLOR_SPACE stored;
    J_COLOR_SPACE shown;
    int width;  // rows' width after the shrink
    int rows;   // rows wanted from this strip
    std::uint8_t* row;
    Resampler* sink;
};

// Plain C-style code only in the next two: no object with a destructor may live in their
// frames. Each returns false with errors.message set when libjpeg failed.
bool Start(JpegDecoder* decoder, const std::uint8_t* tables, std::size_t size) {
    UseJpegErrors(reinterpret_cast<j_common_ptr>(&decoder->info), decoder->errors);
    if (setjmp(decoder->errors.jump))
        return false;
    jpeg_create_decompress(&decoder->info);
    decoder->created = true;
    // The tables the strips share, given once; each strip's abbreviated stream uses them.
    if (size > 0) {
        jpeg_mem_src(&decoder->info, tables, static_cast<unsigned long>(size));
        jpeg_read_header(&decoder->info, FALSE);
    }
    return true;
}

bool Decode(JpegDecoder* decoder, const Strip& strip, int* rowsDone) {
    jpeg_decompress_struct* info = &decoder->info;
    if (setjmp(decoder->errors.jump))
        return false;
    jpeg_mem_src(info, strip.data, static_cast<unsigned long>(strip.size));
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) {
        std::snprintf(decoder->errors.message, sizeof decoder->errors.message, "%s",
                      "a strip holds no image");
        return false;
    }
    info->jpeg_color_space = strip.stored;
    info->out_color_space = strip.shown;
    info->scale_num = 1;
    info->scale_denom = static_cast<unsigned int>(strip.shrink);
    jpeg_start_decompress(info);
    if (static_cast<int>(info->output_width) != strip.width ||
        static_cast<int>(info->output_height) < strip.rows) {
        std::snprintf(decoder->errors.message, sizeof decoder->errors.message, "%s",
                      "a strip's size does not match the page");
        jpeg_abort_decompress(info);
        return false;
    }
    int done = 0;
    while (done < strip.rows) {
        JSAMPROW row = strip.row;
        if (jpeg_read_scanlines(info, &row, 1) != 1)
            break;
        strip.sink->AddRow(strip.row);
        *rowsDone = ++done;
    }
    // Ends this stream and keeps the shared tables for the next strip.
    jpeg_abort_decompress(info);
    return true;
}

}  // namespace

int JpegShrink(TIFF* tif, const PageLayout& page, int width, int height) {
    const bool grey = Grey(page) && page.samplesPerPixel == 1;
    const bool colour =
        (page.photometric == PHOTOMETRIC_YCBCR || page.photometric == PHOTOMETRIC_RGB) &&
        page.samplesPerPixel == 3;
    if (page.compression != COMPRESSION_JPEG || page.tiled || page.bitsPerSample != 8 ||
        !page.extraSamples.empty() || !(grey || colour) || width < 1 || height < 1 ||
        (page.planar != PLANARCONFIG_CONTIG && page.samplesPerPixel > 1))
        return 1;
    const std::uint32_t rowsPerStrip = RowsPerStrip(tif, page);
    for (int shrink = 8; shrink >= 2; shrink /= 2) {
        const auto [w, h] = ShrunkSize(page, shrink);
        if (w >= width && h >= height &&
            (rowsPerStrip % static_cast<std::uint32_t>(shrink) == 0 || rowsPerStrip == page.height))
            return shrink;
    }
    return 1;
}

std::pair<int, int> ShrunkSize(const PageLayout& page, int shrink) {
    const auto up = [shrink](std::uint32_t size) {
        return static_cast<int>((size + static_cast<std::uint32_t>(shrink) - 1) /
                                static_cast<std::uint32_t>(shrink));
    };
    return {up(page.width), up(page.height)};
}

std::optional<std::string> ReadJpegStrips(TIFF* tif, const PageLayout& page, int shrink,
                                          Resampler& rows) {
    std::uint32_t tablesSize = 0;
    void* tables = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_JPEGTABLES, &tablesSize, &tables) || !tables)
        tablesSize = 0;
    JpegDecoder decoder;
    if (!Start(&decoder, static_cast<const std::uint8_t*>(tables), tablesSize))
        return std::string("bad JPEG tables: ") + decoder.errors.message;

    const bool grey = Grey(page);
    const int width = ShrunkSize(page, shrink).first;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * (grey ? 1 : 3));
    std::vector<std::uint8_t> data;
    const std::uint32_t rowsPerStrip = RowsPerStrip(tif, page);
    const auto s = static_cast<std::uint32_t>(shrink);
    for (std::uint32_t top = 0; top < page.height; top += rowsPerStrip) {
        const tstrip_t index = TIFFComputeStrip(tif, top, 0);
        const std::uint64_t size = TIFFGetStrileByteCount(tif, index);
        if (size == 0 || size > kMaxBandBytes)
            return "damaged strip " + std::to_string(index + 1);
        data.resize(static_cast<std::size_t>(size));
        if (TIFFReadRawStrip(tif, index, data.data(), static_cast<tmsize_t>(size)) !=
            static_cast<tmsize_t>(size))
            return "damaged strip " + std::to_string(index + 1);
        const std::uint32_t count = std::min(rowsPerStrip, page.height - top);
        const Strip strip{
            data.data(),
            data.size(),
            shrink,
            grey ? JCS_GRAYSCALE : (page.photometric == PHOTOMETRIC_RGB ? JCS_RGB : JCS_YCbCr),
            grey ? JCS_GRAYSCALE : JCS_RGB,
            width,
            static_cast<int>((count + s - 1) / s),
            row.data(),
            &rows};
        int done = 0;
        if (!Decode(&decoder, strip, &done))
            return "damaged strip " + std::to_string(index + 1) + ": " + decoder.errors.message;
        if (done != strip.rows)
            return "damaged strip " + std::to_string(index + 1) + ": rows are missing";
    }
    return std::nullopt;
}

}  // namespace vellumark::imaging
