#pragma once
// Compression of file data in independent pieces, so that pieces of one file, and different
// files, can be compressed on several threads and still give exactly the bytes of a one-thread
// run: each piece's output depends only on its own bytes and the 32 KiB before it.
//
// A file is cut into pieces of kPieceSize bytes. Each piece is raw deflate (RFC 1951) at the
// archive's level, primed with the previous 32 KiB of the file as dictionary; every piece but the
// last ends with a sync flush (an empty stored block), the last one ends the stream. The pieces
// joined are one valid deflate stream.

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace vellumark::zip {

inline constexpr std::size_t kPieceSize = 1024 * 1024;
inline constexpr std::size_t kDictionarySize = 32 * 1024;
// Files up to this size that deflate cannot shrink are stored: they would fit in one deflate
// block, and a block that does not pay for itself is written stored.
inline constexpr std::uint64_t kStoredFallbackLimit = 32 * 1024;
// How many leading bytes of a file decide whether it is text.
inline constexpr std::size_t kTextSampleSize = 32 * 1024;

// A raw-deflate compressor whose working memory is allocated once and reused for every piece.
class Deflater {
public:
    explicit Deflater(int level);
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Compresses `data` primed with `dictionary`, ending with a sync flush or, when `last`, the
    // end of the stream. Replaces `out`.
    void Compress(const std::uint8_t* dictionary, std::size_t dictionarySize,
                  const std::uint8_t* data, std::size_t size, bool last,
                  std::vector<std::uint8_t>& out);

private:
    z_stream stream_{};
};

// Text when the bytes 0 to 6 and 128 to 255 number no more than a quarter of the bytes 7 to 127;
// no bytes at all is text.
bool LooksLikeText(const std::uint8_t* data, std::size_t size);

// The CRC-32 of `size` bytes continuing `crc` (start with 0).
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
// The CRC-32 of two runs joined, from the CRC of each and the length of the second.
std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondSize);

}  // namespace vellumark::zip
