#pragma once
// Compression of file data in independent pieces, so that pieces of one file, and different
// files, can be compressed on several threads and still give exactly the bytes of a one-thread
// run: each piece's output depends only on its own bytes.
//
// A file is cut into pieces of kPieceSize bytes. Each piece is raw deflate (RFC 1951) made by
// libdeflate at the archive's level. libdeflate takes no dictionary, so a piece does not see
// the one before it (in a 1 MiB piece that costs a few dozen bytes of a JPEG picture, a few
// hundred of text), and it always closes its output with a final block: every piece but the
// last is made to go on instead, its final block marked not final and followed by an empty
// stored block up to a byte boundary, as a sync flush would end it. The pieces joined are one
// valid deflate stream.

#include <cstdint>
#include <memory>
#include <vector>

struct libdeflate_compressor;

namespace vellumark::zip {

inline constexpr std::size_t kPieceSize = 1024 * 1024;
// Files up to this size that deflate cannot shrink are stored: they would fit in one deflate
// block, and a block that does not pay for itself is written stored.
inline constexpr std::uint64_t kStoredFallbackLimit = 32 * 1024;
// How many leading bytes of a file decide whether it is text.
inline constexpr std::size_t kTextSampleSize = 32 * 1024;

// A raw-deflate compressor whose working memory is allocated once and reused for every piece.
// One object per thread. Throws vellumark::Error (Internal) when it cannot be made.
class Deflater {
public:
    // level is 0 to 9, as for zlib.
    explicit Deflater(int level);
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Compresses `data` into `out` (replacing it): a whole stream when `last`, otherwise a
    // stream that goes on, ending on a byte boundary. Throws vellumark::Error (Internal) if the
    // compressor fails.
    void Compress(const std::uint8_t* data, std::size_t size, bool last,
                  std::vector<std::uint8_t>& out);

private:
    struct Free {
        void operator()(libdeflate_compressor* compressor) const;
    };
    std::unique_ptr<libdeflate_compressor, Free> compressor_;
};

// Turns a complete raw deflate stream into one that goes on: its final block is marked not
// final and an empty stored block follows it, so another stream can be appended. Throws
// vellumark::Error (Internal) if `stream` is not exactly one complete raw deflate stream.
void ContinueStream(std::vector<std::uint8_t>& stream);

// Text when the bytes 0 to 6 and 128 to 255 number no more than a quarter of the bytes 7 to 127;
// no bytes at all is text.
bool LooksLikeText(const std::uint8_t* data, std::size_t size);

// The CRC-32 of `size` bytes continuing `crc` (start with 0).
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
// The CRC-32 of two runs joined, from the CRC of each and the length of the second.
std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondSize);

}  // namespace vellumark::zip
