#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ZipTestSupport.h"
#include "common/Error.h"
#include "zip/Deflate.h"

namespace vellumark::zip {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// Words in a varied order: libdeflate cuts this into several Huffman blocks per piece.
Bytes WordBytes(std::size_t size, unsigned seed) {
    static const char* kWords[] = {"scanned", "page", "the",   "of",    "book",  "reader",
                                   "archive", "and",  "light", "river", "stone", "winter"};
    std::mt19937 gen(seed);
    std::string s;
    while (s.size() < size) {
        s += kWords[gen() % std::size(kWords)];
        s += gen() % 9 == 0 ? ".\n" : " ";
    }
    s.resize(size);
    return ToBytes(s);
}

struct Inflated {
    bool ended = false;  // the stream's final block was reached
    std::size_t unused = 0;
    Bytes data;
};

// zlib, raw deflate: the reader the archive's readers stand for.
Inflated Inflate(const Bytes& stream) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    Inflated result;
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    Bytes chunk(1024 * 1024);
    int rc = Z_OK;
    do {
        z.next_out = chunk.data();
        z.avail_out = static_cast<uInt>(chunk.size());
        rc = inflate(&z, Z_SYNC_FLUSH);
        result.data.insert(result.data.end(), chunk.data(), z.next_out);
    } while (rc == Z_OK && z.avail_out == 0);
    EXPECT_TRUE(rc == Z_OK || rc == Z_STREAM_END || rc == Z_BUF_ERROR) << rc;
    result.ended = rc == Z_STREAM_END;
    result.unused = z.avail_in;
    inflateEnd(&z);
    return result;
}

// Compresses `data` in pieces of `pieceSize` the way the archive writer does, joined.
Bytes CompressInPieces(const Bytes& data, std::size_t pieceSize, int level = 6) {
    Deflater deflater(level);
    Bytes joined, piece;
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(pieceSize, data.size() - at);
        deflater.Compress(data.data() + at, n, at + n == data.size(), piece);
        joined.insert(joined.end(), piece.begin(), piece.end());
        at += n;
    } while (at < data.size());
    return joined;
}

TEST(Deflate, PiecesJoinedInflateToTheWholeFile) {
    Bytes mixed = WordBytes(1500 * 1024, 1);
    const Bytes noise = ToBytes(ziptest::RandomBytes(900 * 1024, 2));
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    const Bytes words = WordBytes(700 * 1024, 3);
    mixed.insert(mixed.end(), words.begin(), words.end());
    struct Case {
        const char* name;
        Bytes data;
        std::size_t pieceSize;
    };
    const Case cases[] = {
        {"text and noise, 1 MiB pieces", mixed, kPieceSize},
        {"text and noise, odd pieces", mixed, 333333},
        {"noise (stored blocks)", ToBytes(ziptest::RandomBytes(300000, 4)), 70000},
        {"one byte a piece", WordBytes(300, 5), 1},
        {"repeats", ToBytes(ziptest::TextBytes(3 * kPieceSize + 17)), kPieceSize},
        {"empty", {}, kPieceSize},
    };
    for (const Case& c : cases) {
        for (int level : {1, 6, 9}) {
            const Inflated back = Inflate(CompressInPieces(c.data, c.pieceSize, level));
            EXPECT_TRUE(back.ended) << c.name << " level " << level;
            EXPECT_EQ(back.unused, 0u) << c.name << " level " << level;
            EXPECT_TRUE(back.data == c.data) << c.name << " level " << level;
        }
    }
}

TEST(Deflate, APieceThatGoesOnEndsWithAnEmptyStoredBlock) {
    // Sizes that leave the final block ending at every bit of its last byte.
    Deflater deflater(6);
    std::set<std::size_t> trailers;
    for (std::size_t size = 1; size < 400; size += 7) {
        const Bytes data = WordBytes(size, static_cast<unsigned>(size));
        Bytes whole, goesOn;
        deflater.Compress(data.data(), data.size(), true, whole);
        deflater.Compress(data.data(), data.size(), false, goesOn);
        ASSERT_GE(goesOn.size(), whole.size() + 4);
        trailers.insert(goesOn.size() - whole.size());
        EXPECT_EQ(Bytes(goesOn.end() - 4, goesOn.end()), (Bytes{0x00, 0x00, 0xFF, 0xFF}));
        const Inflated back = Inflate(goesOn);
        EXPECT_FALSE(back.ended) << size;
        EXPECT_EQ(back.unused, 0u) << size;
        EXPECT_TRUE(back.data == data) << size;
    }
    // The stored block's header fits in the last byte's padding, or needs a byte of its own.
    EXPECT_EQ(trailers, (std::set<std::size_t>{4, 5}));
}

// Streams from another compressor, with fixed, dynamic and stored blocks.
TEST(Deflate, AnyCompleteStreamCanBeMadeToGoOn) {
    const Bytes data = WordBytes(200000, 9);
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY}) {
        for (int level : {0, 1, 9}) {
            z_stream z{};
            ASSERT_EQ(deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, strategy), Z_OK);
            Bytes stream(deflateBound(&z, data.size()));
            z.next_in = const_cast<Bytef*>(data.data());
            z.avail_in = static_cast<uInt>(data.size());
            z.next_out = stream.data();
            z.avail_out = static_cast<uInt>(stream.size());
            ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
            stream.resize(z.total_out);
            deflateEnd(&z);

            ContinueStream(stream);
            const Bytes tail = {0x03, 0x00};  // an empty fixed block, final
            stream.insert(stream.end(), tail.begin(), tail.end());
            const Inflated back = Inflate(stream);
            EXPECT_TRUE(back.ended) << strategy << " " << level;
            EXPECT_EQ(back.unused, 0u) << strategy << " " << level;
            EXPECT_TRUE(back.data == data) << strategy << " " << level;
        }
    }
}

TEST(Deflate, WhatIsNotOneCompleteStreamIsRefused) {
    const Bytes data = WordBytes(50000, 11);
    Deflater deflater(6);
    Bytes whole;
    deflater.Compress(data.data(), data.size(), true, whole);
    Bytes truncated(whole.begin(), whole.end() - 3);
    Bytes trailing = whole;
    trailing.push_back(0);
    Bytes notFinal;  // ends at a block boundary without a final block
    deflater.Compress(data.data(), data.size(), false, notFinal);
    for (Bytes stream : {Bytes{}, truncated, trailing, notFinal, Bytes(100, 0xFF)}) {
        try {
            ContinueStream(stream);
            ADD_FAILURE() << "accepted " << stream.size() << " bytes";
        } catch (const Error& e) {
            EXPECT_EQ(e.Code(), ErrorCode::Internal);
        }
    }
}

TEST(Deflate, CrcOfPiecesCombinesToTheCrcOfTheWhole) {
    const std::string check = "123456789";
    const auto* p = reinterpret_cast<const std::uint8_t*>(check.data());
    EXPECT_EQ(Crc32(0, p, check.size()), 0xCBF43926u);
    EXPECT_EQ(Crc32(0, p, 0), 0u);
    const Bytes data = WordBytes(3 * 1000 * 1000, 12);
    const std::uint32_t whole = Crc32(0, data.data(), data.size());
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, kPieceSize, data.size()}) {
        const std::uint32_t first = Crc32(0, data.data(), cut);
        const std::uint32_t second = Crc32(0, data.data() + cut, data.size() - cut);
        EXPECT_EQ(Crc32Combine(first, second, data.size() - cut), whole) << cut;
        EXPECT_EQ(Crc32(first, data.data() + cut, data.size() - cut), whole) << cut;
    }
}

}  // namespace
}  // namespace vellumark::zip
