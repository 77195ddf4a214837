#include "zip/Deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>

#include "common/Error.h"

namespace vellumark::zip {
namespace {

struct InflateEnd {
    void operator()(z_stream* stream) const { inflateEnd(stream); }
};

[[noreturn]] void NotOneStream() {
    throw Error(ErrorCode::Internal, "The compressor's output is not one complete stream");
}

// Where the final block of a raw deflate stream starts and where it ends, in bits from the
// start of the stream (bit 0 is the low bit of the first byte).
struct FinalBlock {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

// Block boundaries are not marked in a deflate stream; zlib finds them by inflating, stopping
// after each block (before it reads the next header, or, after the final block, before it skips
// the padding). data_type then says how many of the bits it has taken it has not used yet, and
// whether the block just ended was the final one.
FinalBlock FindFinalBlock(const std::vector<std::uint8_t>& stream) {
    if (stream.empty() || stream.size() > 0xFFFFFFFFu)
        NotOneStream();
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        throw Error(ErrorCode::Internal, "Could not start the decompressor");
    const std::unique_ptr<z_stream, InflateEnd> end(&z);
    // The output is not needed; inflate keeps its own window of it.
    std::vector<std::uint8_t> scratch(64 * 1024);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    FinalBlock block;
    bool ended = false;
    for (;;) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        const uLong before = z.total_in;
        const int rc = inflate(&z, Z_BLOCK);
        if (rc == Z_STREAM_END)
            break;
        const bool moved = z.total_in != before || z.avail_out < scratch.size();
        if ((rc != Z_OK && rc != Z_BUF_ERROR) || !moved)
            NotOneStream();
        if (z.data_type & 128) {
            const std::uint64_t at = static_cast<std::uint64_t>(z.total_in) * 8 -
                                     static_cast<unsigned>(z.data_type & 63);
            if (z.data_type & 64) {
                block.end = at;
                ended = true;
            } else {
                block.start = at;
            }
        }
    }
    // Nothing may follow but the padding of the last byte, and the block must say it is final.
    const std::uint64_t bits = static_cast<std::uint64_t>(stream.size()) * 8;
    if (!ended || z.avail_in != 0 || block.end > bits || bits - block.end >= 8 ||
        block.start >= block.end || ((stream[block.start / 8] >> (block.start % 8)) & 1) == 0)
        NotOneStream();
    return block;
}

}  // namespace

void Deflater::Free::operator()(libdeflate_compressor* compressor) const {
    libdeflate_free_compressor(compressor);
}

Deflater::Deflater(int level) : compressor_(libdeflate_alloc_compressor(std::clamp(level, 0, 9))) {
    if (!compressor_)
        throw Error(ErrorCode::Internal, "Could not start the compressor");
}

Deflater::~Deflater() = default;

void Deflater::Compress(const std::uint8_t* data, std::size_t size, bool last,
                        std::vector<std::uint8_t>& out) {
    // Room for the empty stored block that lets a piece go on.
    out.resize(libdeflate_deflate_compress_bound(compressor_.get(), size) + 5);
    const std::size_t produced =
        libdeflate_deflate_compress(compressor_.get(), data, size, out.data(), out.size());
    if (produced == 0)
        throw Error(ErrorCode::Internal, "The compressor failed");
    out.resize(produced);
    if (!last)
        ContinueStream(out);
}

void ContinueStream(std::vector<std::uint8_t>& stream) {
    const FinalBlock block = FindFinalBlock(stream);
    stream[block.start / 8] &= static_cast<std::uint8_t>(~(1u << (block.start % 8)));
    // The bits after the block are padding: cleared, they begin the stored block's header
    // (not final, type 0), which needs three of them; then a byte boundary, LEN 0 and NLEN.
    const unsigned used = static_cast<unsigned>(block.end % 8);
    if (used != 0)
        stream.back() &= static_cast<std::uint8_t>((1u << used) - 1);
    if (used == 0 || used > 5)
        stream.push_back(0);
    stream.insert(stream.end(), {0x00, 0x00, 0xFF, 0xFF});
}

bool LooksLikeText(const std::uint8_t* data, std::size_t size) {
    // Counted without a branch: in a JPEG picture either outcome is a coin toss.
    std::size_t binary = 0;
    for (std::size_t i = 0; i < size; ++i)
        binary += static_cast<std::uint8_t>(data[i] - 7) >= 121;  // 0 to 6 and 128 to 255
    return binary <= (size - binary) / 4;
}

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    return libdeflate_crc32(crc, data, size);
}

std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondSize) {
    return static_cast<std::uint32_t>(
        crc32_combine64(first, second, static_cast<z_off64_t>(secondSize)));
}

}  // namespace vellumark::zip
