#include "imaging/Jpeg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "common/Error.h"
#include "imaging/JpegErrors.h"

namespace vellumark::imaging {
namespace {

// What Compress fills in; owned by the caller, so it outlives a jump.
struct Output {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    JpegErrors errors{};
    jpeg_compress_struct info{};
    bool created = false;
};

// Plain C-style code only: no object with a destructor may live in this frame.
// The samples to encode: `components` per pixel (3: RGB, 1: grey), rows without padding.
// `widened`, when set, is a row of width * 3 + 1 bytes: grey samples are written through it as
// RGB.
struct Samples {
    const std::uint8_t* data;
    int width;
    int height;
    int components;
    std::uint8_t* widened = nullptr;
};

// Grey samples as RGB. Kept out of Compress: a function that calls setjmp is compiled without
// most optimisations, and this loop runs for every pixel of a grey page.
// Each pixel is stored as four bytes, the fourth overwritten by the next pixel (or falling in
// the row's spare byte): one store instead of three.
[[gnu::noinline]] void Widen(const std::uint8_t* grey, int width, std::uint8_t* rgb) {
    for (int x = 0; x < width; ++x) {
        const std::uint32_t same = grey[x] * 0x010101u;
        std::memcpy(rgb + 3 * static_cast<std::size_t>(x), &same, sizeof same);
    }
}

bool Compress(const Samples& picture, int quality, Output* out) {
    UseJpegErrors(reinterpret_cast<j_common_ptr>(&out->info), out->errors);
    if (setjmp(out->errors.jump))
        return false;
    jpeg_create_compress(&out->info);
    out->created = true;
    jpeg_mem_dest(&out->info, &out->data, &out->size);
    out->info.image_width = static_cast<JDIMENSION>(picture.width);
    out->info.image_height = static_cast<JDIMENSION>(picture.height);
    const bool widen = picture.widened != nullptr;
    out->info.input_components = widen ? 3 : picture.components;
    out->info.in_color_space = picture.components == 1 && !widen ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&out->info);
    jpeg_set_quality(&out->info, quality, TRUE);
    jpeg_start_compress(&out->info, TRUE);
    while (out->info.next_scanline < out->info.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(picture.data + static_cast<std::size_t>(picture.width) *
                                                    picture.components * out->info.next_scanline);
        if (widen) {
            Widen(row, picture.width, picture.widened);
            row = picture.widened;
        }
        jpeg_write_scanlines(&out->info, &row, 1);
    }
    jpeg_finish_compress(&out->info);
    return true;
}

struct OutputCleanup {
    void operator()(Output* out) const {
        if (out->created)
            jpeg_destroy_compress(&out->info);
        std::free(out->data);  // jpeg_mem_dest's buffer is malloc'd and left to us
        delete out;
    }
};

std::vector<std::uint8_t> Encode(const Samples& picture, std::size_t size, int quality) {
    if (picture.width < 1 || picture.height < 1 ||
        size != static_cast<std::size_t>(picture.width) * picture.height * picture.components)
        throw Error(ErrorCode::Internal, "cannot encode an empty or inconsistent picture");
    if (picture.width > JPEG_MAX_DIMENSION || picture.height > JPEG_MAX_DIMENSION)
        throw Error(ErrorCode::TooLarge, "the picture is too large for a JPEG");
    if (quality < 1 || quality > 100)
        throw Error(ErrorCode::Internal, "bad JPEG quality");
    std::unique_ptr<Output, OutputCleanup> out(new Output);
    if (!Compress(picture, quality, out.get()))
        throw Error(ErrorCode::Internal,
                    std::string("JPEG encoding failed: ") + out->errors.message);
    return std::vector<std::uint8_t>(out->data, out->data + out->size);
}

}  // namespace

std::vector<std::uint8_t> EncodeJpeg(const Picture& picture, int quality) {
    if (picture.channels == 1) {
        // Three components, as for a colour page: the grey written as equal R, G and B a row at
        // a time, so that the picture itself never is.
        std::vector<std::uint8_t> row(static_cast<std::size_t>(std::max(picture.width, 0)) * 3 + 1);
        return Encode({picture.samples.data(), picture.width, picture.height, 1, row.data()},
                      picture.samples.size(), quality);
    }
    if (picture.channels != 3)
        throw Error(ErrorCode::Internal,
                    "cannot encode a picture of " + std::to_string(picture.channels) + " channels");
    return Encode({picture.samples.data(), picture.width, picture.height, 3},
                  picture.samples.size(), quality);
}

std::vector<std::uint8_t> EncodeGreyJpeg(const GreyPicture& picture, int quality) {
    return Encode({picture.pixels.data(), picture.width, picture.height, 1}, picture.pixels.size(),
                  quality);
}

std::optional<std::pair<int, int>> JpegSize(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return std::nullopt;
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (bytes[at] != 0xFF)
            return std::nullopt;
        const std::uint8_t marker = bytes[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)  // end of image, or scan data before any frame
            return std::nullopt;
        const std::size_t length = (std::size_t{bytes[at + 2]} << 8) | bytes[at + 3];
        if (length < 2)
            return std::nullopt;
        // Start of frame: every SOFn but the DHT (C4), JPG (C8) and DAC (CC) markers.
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > bytes.size() || length < 7)
                return std::nullopt;
            const int height = (bytes[at + 5] << 8) | bytes[at + 6];
            const int width = (bytes[at + 7] << 8) | bytes[at + 8];
            if (width == 0 || height == 0)
                return std::nullopt;
            return std::pair{width, height};
        }
        at += 2 + length;
    }
    return std::nullopt;
}

}  // namespace vellumark::imaging
