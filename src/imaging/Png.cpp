#include "imaging/Png.h"

#include <png.h>

#include <csetjmp>
#include <string>

#include "common/Error.h"

namespace vellumark::imaging {
namespace {

// What Write fills in; owned by the caller, so that it outlives a jump out of libpng.
struct PngOutput {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> row;
    bool outOfMemory = false;
    std::string message;
};

void OnError(png_structp png, png_const_charp message) {
    static_cast<PngOutput*>(png_get_error_ptr(png))->message = message;
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// No exception may cross libpng: a failed append is turned into libpng's own error.
void OnWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
    try {
        out->bytes.insert(out->bytes.end(), data, data + size);
    } catch (...) {
        out->outOfMemory = true;
    }
    if (out->outOfMemory)
        png_error(png, "out of memory");
}

void OnFlush(png_structp) {}

struct WriteStruct {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~WriteStruct() { png_destroy_write_struct(&png, &info); }
};

// Packs one row of grey pixels into levels of `depth` bits, first pixel in the high bits.
void PackRow(const std::uint8_t* grey, int width, int depth, std::vector<std::uint8_t>& row) {
    const int levels = (1 << depth) - 1;
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < width; ++x) {
        const unsigned level = (grey[x] * levels + 127) / 255;
        const int bit = x * depth;
        row[static_cast<std::size_t>(bit / 8)] |=
            static_cast<std::uint8_t>(level << (8 - depth - bit % 8));
    }
}

// Plain C-style code between setjmp and the end: nothing with a destructor is made here.
bool Write(const GreyPicture& picture, int depth, WriteStruct& s, PngOutput* out) {
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    png_set_write_fn(s.png, out, OnWrite, OnFlush);
    png_set_IHDR(s.png, s.info, static_cast<png_uint_32>(picture.width),
                 static_cast<png_uint_32>(picture.height), depth, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(s.png, s.info);
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* grey =
            picture.pixels.data() + static_cast<std::size_t>(y) * picture.width;
        PackRow(grey, picture.width, depth, out->row);
        png_write_row(s.png, out->row.data());
    }
    png_write_end(s.png, s.info);
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodeGreyPng(const GreyPicture& picture, int levels) {
    if (picture.width < 1 || picture.height < 1 ||
        picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height)
        throw Error(ErrorCode::Internal, "cannot encode an empty or inconsistent picture");
    int depth = 0;
    switch (levels) {
        case 2:
            depth = 1;
            break;
        case 4:
            depth = 2;
            break;
        case 16:
            depth = 4;
            break;
        case 256:
            depth = 8;
            break;
        default:
            throw Error(ErrorCode::Internal, "a PNG has 2, 4, 16 or 256 grey levels");
    }
    PngOutput out;
    out.row.resize((static_cast<std::size_t>(picture.width) * depth + 7) / 8);
    WriteStruct s;
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &out, OnError, OnWarning);
    if (s.png != nullptr)
        s.info = png_create_info_struct(s.png);
    if (s.png == nullptr || s.info == nullptr)
        throw Error(ErrorCode::Internal, "cannot start the PNG encoder");
    if (!Write(picture, depth, s, &out))
        throw Error(ErrorCode::Internal, "PNG encoding failed: " + out.message);
    return std::move(out.bytes);
}

}  // namespace vellumark::imaging
