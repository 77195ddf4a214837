#include "zip/Deflate.h"

#include <algorithm>

#include "common/Error.h"

namespace vellumark::zip {

Deflater::Deflater(int level) {
    // -MAX_WBITS: raw deflate with a 32 KiB window; memory level 8 is zlib's default.
    if (deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw Error(ErrorCode::Internal, "Could not start the compressor");
    }
}

Deflater::~Deflater() {
    deflateEnd(&stream_);
}

void Deflater::Compress(const std::uint8_t* dictionary, std::size_t dictionarySize,
                        const std::uint8_t* data, std::size_t size, bool last,
                        std::vector<std::uint8_t>& out) {
    if (deflateReset(&stream_) != Z_OK) {
        throw Error(ErrorCode::Internal, "Could not reset the compressor");
    }
    if (dictionarySize > 0 &&
        deflateSetDictionary(&stream_, dictionary, static_cast<uInt>(dictionarySize)) != Z_OK) {
        throw Error(ErrorCode::Internal, "Could not prime the compressor");
    }
    // The bound covers the stream end; a sync flush adds at most a few bytes more.
    out.resize(deflateBound(&stream_, static_cast<uLong>(size)) + 16);
    stream_.next_in = const_cast<Bytef*>(data);
    stream_.avail_in = static_cast<uInt>(size);
    std::size_t produced = 0;
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        if (produced == out.size())
            out.resize(out.size() * 2);
        stream_.next_out = out.data() + produced;
        stream_.avail_out = static_cast<uInt>(out.size() - produced);
        const int rc = deflate(&stream_, flush);
        produced = out.size() - stream_.avail_out;
        if (rc == Z_STREAM_END)
            break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            throw Error(ErrorCode::Internal, "The compressor failed");
        }
        // A sync flush is complete when input is used up and output space was left over.
        if (!last && stream_.avail_in == 0 && stream_.avail_out > 0)
            break;
    }
    out.resize(produced);
}

bool LooksLikeText(const std::uint8_t* data, std::size_t size) {
    std::size_t binary = 0, text = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t c = data[i];
        if (c <= 6 || c >= 128) {
            ++binary;
        } else {
            ++text;
        }
    }
    return binary <= text / 4;
}

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    // zlib's crc32 takes at most 4 GiB - 1 per call; pieces are far smaller.
    while (size > 0) {
        const auto n = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = static_cast<std::uint32_t>(crc32(crc, data, n));
        data += n;
        size -= n;
    }
    return crc;
}

std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondSize) {
    return static_cast<std::uint32_t>(
        crc32_combine64(first, second, static_cast<z_off64_t>(secondSize)));
}

}  // namespace vellumark::zip
