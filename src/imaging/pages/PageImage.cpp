#include "imaging/pages/PageImage.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/Error.h"
#include "imaging/Document.h"
#include "imaging/JpegErrors.h"
#include "imaging/Resampler.h"

namespace vellumark::imaging {
namespace {

// A PNG is decoded whole (libpng's simple reader): its pixels may take at most this.
constexpr std::uint64_t kMaxPngBytes = std::uint64_t{512} << 20;

unsigned Be16(const std::uint8_t* p) {
    return static_cast<unsigned>(p[0]) << 8 | p[1];
}
std::uint32_t Be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(Be16(p)) << 16 | Be16(p + 2);
}

bool IsStartOfFrame(unsigned marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The Orientation tag (1 to 8) of an Exif block (a TIFF header and its first directory), or 1
// when it has none or cannot be read.
int ExifOrientation(const std::uint8_t* tiff, std::size_t size) {
    if (size < 8 || !(tiff[0] == tiff[1] && (tiff[0] == 'I' || tiff[0] == 'M')))
        return 1;
    const bool little = tiff[0] == 'I';
    const auto u16 = [&](std::size_t at) {
        return little ? unsigned(tiff[at]) | unsigned(tiff[at + 1]) << 8 : Be16(tiff + at);
    };
    const auto u32 = [&](std::size_t at) {
        return little ? std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16 : Be32(tiff + at);
    };
    const std::uint32_t directory = u32(4);
    if (directory > size - 2)
        return 1;
    const unsigned entries = u16(directory);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + std::size_t{12} * i;
        if (entry + 12 > size)
            break;
        if (u16(entry) == 0x0112 && u16(entry + 2) == 3) {
            const unsigned value = u16(entry + 8);
            return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
        }
    }
    return 1;
}

std::optional<ImageHeader> JpegHeader(std::span<const std::uint8_t> b, const std::string& name) {
    ImageHeader header;
    header.codec = ImageCodec::Jpeg;
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF)
            return std::nullopt;
        const unsigned marker = b[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        const std::size_t length = Be16(&b[at + 2]);
        if (length < 2)
            return std::nullopt;
        const std::uint8_t* segment = &b[at + 4];
        const std::size_t have = std::min(length - 2, b.size() - (at + 4));
        if (marker == 0xE0 && have >= 12 && std::memcmp(segment, "JFIF\0", 5) == 0) {
            const unsigned units = segment[7];
            const double perInch = units == 1 ? 1 : units == 2 ? 2.54 : 0;
            header.dpiAcross = Be16(segment + 8) * perInch;
            header.dpi = Be16(segment + 10) * perInch;
        } else if (marker == 0xE1 && have >= 14 && std::memcmp(segment, "Exif\0\0", 6) == 0) {
            // A camera's or phone's way of saying the picture is to be shown turned.
            header.orientation = ExifOrientation(segment + 6, have - 6);
        } else if (IsStartOfFrame(marker) && have >= 6) {
            header.height = static_cast<int>(Be16(segment + 1));
            header.width = static_cast<int>(Be16(segment + 3));
            const int components = segment[5];
            if (components == 1) {
                header.kind = PageKind::Grey;
                header.layout = "grey 8-bit";
            } else if (components == 3) {
                header.layout = "RGB 8-bit";
            } else {
                throw Error(ErrorCode::Unsupported, name + ": a JPEG of " +
                                                        std::to_string(components) +
                                                        " colour components (CMYK) cannot be read");
            }
            if (header.width < 1 || header.height < 1)
                return std::nullopt;
            return header;
        } else if (marker == 0xDA || marker == 0xD9) {
            return std::nullopt;  // image data before any frame header
        }
        at += 2 + length;
    }
    return std::nullopt;
}

std::optional<ImageHeader> PngHeader(std::span<const std::uint8_t> b) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (b.size() < 33 || std::memcmp(b.data(), kSignature, 8) != 0 ||
        std::memcmp(&b[12], "IHDR", 4) != 0)
        return std::nullopt;
    ImageHeader header;
    header.codec = ImageCodec::Png;
    const std::uint32_t width = Be32(&b[16]), height = Be32(&b[20]);
    if (width < 1 || height < 1 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return std::nullopt;
    header.width = static_cast<int>(width);
    header.height = static_cast<int>(height);
    const int depth = b[24], colourType = b[25];
    const bool grey = colourType == 0 || colourType == 4;
    header.kind = !grey                           ? PageKind::Colour
                  : depth == 1 && colourType == 0 ? PageKind::Bilevel
                                                  : PageKind::Grey;
    header.layout = header.kind == PageKind::Bilevel ? "bilevel"
                    : grey                           ? "grey " + std::to_string(depth) + "-bit"
                    : colourType == 3                ? "palette " + std::to_string(depth) + "-bit"
                                                     : "RGB " + std::to_string(depth) + "-bit";
    if (colourType == 4 || colourType == 6)
        header.layout += ", alpha";
    // pHYs, when it comes before the image data.
    for (std::size_t at = 33; at + 12 <= b.size();) {
        const std::uint32_t length = Be32(&b[at]);
        if (std::memcmp(&b[at + 4], "IDAT", 4) == 0 || length > b.size())
            break;
        if (std::memcmp(&b[at + 4], "pHYs", 4) == 0 && length == 9 && at + 17 <= b.size() &&
            b[at + 16] == 1) {
            header.dpiAcross = Be32(&b[at + 8]) * 0.0254;  // per metre
            header.dpi = Be32(&b[at + 12]) * 0.0254;
        }
        at += 12 + static_cast<std::size_t>(length);
    }
    return header;
}

struct JpegJob {
    const std::uint8_t* data;
    std::size_t size;
    int shrink;
    bool grey;
    int width;  // after the shrink
    int height;
    std::uint8_t* row;
    Resampler* sink;
};

// Plain C-style code only: no object with a destructor may live in this frame. Returns false
// with errors.message set when libjpeg failed.
bool DecodeJpeg(JpegDecoder* decoder, const JpegJob& job) {
    jpeg_decompress_struct* info = &decoder->info;
    UseJpegErrors(reinterpret_cast<j_common_ptr>(info), decoder->errors);
    if (setjmp(decoder->errors.jump))
        return false;
    jpeg_create_decompress(info);
    decoder->created = true;
    jpeg_mem_src(info, job.data, static_cast<unsigned long>(job.size));
    jpeg_read_header(info, TRUE);
    info->out_color_space = job.grey ? JCS_GRAYSCALE : JCS_RGB;
    info->scale_num = 1;
    info->scale_denom = static_cast<unsigned int>(job.shrink);
    jpeg_start_decompress(info);
    if (static_cast<int>(info->output_width) != job.width ||
        static_cast<int>(info->output_height) != job.height) {
        std::snprintf(decoder->errors.message, sizeof decoder->errors.message, "%s",
                      "its size does not match its header");
        return false;
    }
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = job.row;
        if (jpeg_read_scanlines(info, &row, 1) != 1)
            break;
        job.sink->AddRow(job.row);
    }
    jpeg_abort_decompress(info);
    return true;
}

int ShrinkFor(const ImageHeader& header, int width, int height) {
    for (int shrink = 8; shrink >= 2; shrink /= 2) {
        if ((header.width + shrink - 1) / shrink >= width &&
            (header.height + shrink - 1) / shrink >= height)
            return shrink;
    }
    return 1;
}

Picture DecodeJpegImage(std::span<const std::uint8_t> bytes, const ImageHeader& header, int width,
                        int height, const std::string& name) {
    const int shrink = ShrinkFor(header, width, height);
    const int shrunkWidth = (header.width + shrink - 1) / shrink;
    const int shrunkHeight = (header.height + shrink - 1) / shrink;
    const bool grey = header.kind != PageKind::Colour;
    Resampler resampler(shrunkWidth, shrunkHeight, width, height, grey ? 1 : 3);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(shrunkWidth) * (grey ? 1 : 3));
    JpegDecoder decoder;
    if (!DecodeJpeg(&decoder, {bytes.data(), bytes.size(), shrink, grey, shrunkWidth, shrunkHeight,
                               row.data(), &resampler}))
        throw Error(ErrorCode::BadInput, name + ": damaged JPEG (" + decoder.errors.message + ")");
    if (resampler.RowsAdded() != shrunkHeight)
        throw Error(ErrorCode::BadInput, name + ": damaged JPEG (rows are missing)");
    return resampler.Finish();
}

struct PngImage {
    png_image image{};
    PngImage() { image.version = PNG_IMAGE_VERSION; }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
    ~PngImage() { png_image_free(&image); }
};

// Whether every chunk up to the end chunk lies within the bytes. libpng sets aside as much as
// a text chunk says it holds before reading it: a damaged length would cost gigabytes.
bool PngChunksFit(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kSignature = 8, kFraming = 12;  // length, type and CRC
    for (std::size_t at = kSignature; at + kFraming <= bytes.size();) {
        const std::uint64_t length = std::uint64_t{bytes[at]} << 24 | bytes[at + 1] << 16 |
                                     bytes[at + 2] << 8 | bytes[at + 3];
        if (length > bytes.size() - at - kFraming)
            return false;
        if (std::memcmp(bytes.data() + at + 4, "IEND", 4) == 0)
            return true;
        at += kFraming + static_cast<std::size_t>(length);
    }
    return true;  // ends early: libpng says what is missing
}

// The PNG's pixels at its own size: grey (one channel) for a grey or bilevel page, RGB
// otherwise, transparency laid over white paper.
std::vector<std::uint8_t> DecodePngPixels(std::span<const std::uint8_t> bytes,
                                          const ImageHeader& header, const std::string& name) {
    if (!PngChunksFit(bytes))
        throw Error(ErrorCode::BadInput, name + ": damaged PNG (a chunk runs past its end)");
    PngImage png;
    if (!png_image_begin_read_from_memory(&png.image, bytes.data(), bytes.size()))
        throw Error(ErrorCode::BadInput, name + ": damaged PNG (" + png.image.message + ")");
    const bool grey = header.kind != PageKind::Colour;
    png.image.format = grey ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
    const int channels = grey ? 1 : 3;
    const std::uint64_t size = std::uint64_t{png.image.width} * png.image.height * channels;
    if (static_cast<int>(png.image.width) != header.width ||
        static_cast<int>(png.image.height) != header.height)
        throw Error(ErrorCode::BadInput, name + ": damaged PNG (its size changed)");
    if (size > kMaxPngBytes)
        throw Error(ErrorCode::TooLarge, name + ": the PNG is too large to decode");
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size), 255);
    png_color white{255, 255, 255};
    if (!png_image_finish_read(&png.image, &white, pixels.data(), 0, nullptr))
        throw Error(ErrorCode::BadInput, name + ": damaged PNG (" + png.image.message + ")");
    return pixels;
}

Picture DecodePngImage(std::span<const std::uint8_t> bytes, const ImageHeader& header, int width,
                       int height, const std::string& name) {
    const std::vector<std::uint8_t> pixels = DecodePngPixels(bytes, header, name);
    const int channels = header.kind != PageKind::Colour ? 1 : 3;
    Resampler resampler(header.width, header.height, width, height, channels);
    const std::size_t stride = static_cast<std::size_t>(header.width) * channels;
    for (int y = 0; y < header.height; ++y)
        resampler.AddRow(pixels.data() + stride * static_cast<std::size_t>(y));
    return resampler.Finish();
}

}  // namespace

std::optional<ImageHeader> ReadImageHeader(std::span<const std::uint8_t> head,
                                           const std::string& name) {
    std::optional<ImageHeader> header =
        head.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF
            ? JpegHeader(head, name)
            : PngHeader(head);
    if (header &&
        !PlausibleResolution(header->dpiAcross, header->dpi, header->width, header->height))
        header->dpi = header->dpiAcross = 0;
    return header;
}

Picture DecodeImage(std::span<const std::uint8_t> bytes, const ImageHeader& header, int width,
                    int height, const std::string& name) {
    if (width < 1 || height < 1)
        throw Error(ErrorCode::Internal, "cannot make an empty picture");
    if (std::uint64_t{static_cast<std::uint32_t>(header.width)} *
            static_cast<std::uint32_t>(header.height) >
        kMaxPagePixels)
        throw Error(ErrorCode::TooLarge,
                    name + ": the image has more pixels than any scanned page (" +
                        std::to_string(header.width) + " x " + std::to_string(header.height) + ")");
    return header.codec == ImageCodec::Jpeg ? DecodeJpegImage(bytes, header, width, height, name)
                                            : DecodePngImage(bytes, header, width, height, name);
}

std::optional<BitPicture> DecodeImageBits(std::span<const std::uint8_t> bytes,
                                          const ImageHeader& header, const std::string& name) {
    // A page too large to hold as a picture takes the picture road, which shrinks it.
    if (header.codec != ImageCodec::Png || header.kind != PageKind::Bilevel ||
        std::uint64_t(header.width) * std::uint64_t(header.height) > kMaxPicturePixels)
        return std::nullopt;
    const std::vector<std::uint8_t> pixels = DecodePngPixels(bytes, header, name);
    BitPicture bits(header.width, header.height);
    for (int y = 0; y < header.height; ++y) {
        const std::uint8_t* in = pixels.data() + static_cast<std::size_t>(y) * header.width;
        std::uint8_t* out = bits.Row(y);
        for (int x = 0; x < header.width; ++x)
            out[x / 8] |= static_cast<std::uint8_t>((in[x] < 128 ? 0x80u : 0u) >> (x % 8));
    }
    return bits;
}

}  // namespace vellumark::imaging
