#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <utility>
#include <vector>

#include "imaging/Orientation.h"
#include "imaging/cleanup/Turn.h"

namespace vellumark::imaging {
namespace {

long FloorDiv(long v, long by) {
    return v >= 0 ? v / by : -((-v + by - 1) / by);
}

// Bits [from, from + count) of a row of `rowBytes` bytes (paper outside it) into bits
// [at, at + count) of `out`; the other bits of `out` keep their values. `from` may be negative.
void CopyBits(const std::uint8_t* row, long rowBytes, long from, long count, std::uint8_t* out,
              long at = 0) {
    if (count <= 0)
        return;
    // Output byte i takes the eight source bits from `from - at + 8 i`.
    const long shift = from - at;
    const long q = FloorDiv(shift, 8);
    const int r = static_cast<int>(shift - 8 * q);
    const auto at8 = [&](long k) -> unsigned { return k >= 0 && k < rowBytes ? row[k] : 0u; };
    const auto source = [&](long i) {
        return static_cast<std::uint8_t>((at8(q + i) << r) | (at8(q + i + 1) >> (8 - r)));
    };
    const long first = at / 8, last = (at + count - 1) / 8;
    const auto merge = [&](long i) {
        const long lo = std::max(at, 8 * i), hi = std::min(at + count, 8 * i + 8);
        const auto mask =
            static_cast<std::uint8_t>((0xFF >> (lo - 8 * i)) & (0xFF00 >> (hi - 8 * i)));
        out[i] = static_cast<std::uint8_t>((out[i] & ~mask) | (source(i) & mask));
    };
    merge(first);
    if (last == first)
        return;
    // Whole bytes between: where both source bytes lie in the row, a loop the compiler
    // vectorises.
    const long begin = std::clamp(-q, first + 1, last),
               end = std::clamp(rowBytes - 1 - q, begin, last);
    for (long i = first + 1; i < begin; ++i)
        out[i] = source(i);
    const std::uint8_t* __restrict from8 = row + q;
    std::uint8_t* __restrict to = out;
    for (long i = begin; i < end; ++i)
        to[i] = static_cast<std::uint8_t>((from8[i] << r) | (from8[i + 1] >> (8 - r)));
    for (long i = end; i < last; ++i)
        out[i] = source(i);
    merge(last);
}

// A word of a row, loaded as it lies in memory: the masks below are built the same way, so the
// byte order does not matter.
std::uint64_t Word(const std::uint8_t* row, std::size_t word) {
    std::uint64_t v;
    std::memcpy(&v, row + 8 * word, sizeof v);
    return v;
}

std::uint64_t PixelBit(int pixel) {
    std::uint64_t v = 0;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&v);
    bytes[pixel / 8] = static_cast<std::uint8_t>(0x80 >> (pixel % 8));
    return v;
}

// The pixels of one word of a column-sheared row that come from one row of the sheet.
struct Piece {
    int rowOffset;
    std::uint64_t mask;
};

}  // namespace

// A turn in two passes over whole rows and columns, each pixel the sheet's nearest. With the
// sheet's centre (cx, cy), the canvas's (ox, oy) and an output pixel's centre (dx, dy) from the
// canvas's, TurnPart reads the sheet at
//   u = c dx + s dy + cx,  v = -s dx + c dy + cy  (c = cos a, s = sin a).
// Along an output row u steps by c: runs of consecutive sheet columns, one repeated at each
// join (every 1 / (1 - c) pixels: 130 at 7 degrees). Given the column u, the row is
//   v = (dy - s (u - cx)) / c + cy,
// which is sheet row `level(y + slide(u))` for output row y: columns slide by whole rows (the
// same for every row, so each word of an output row gathers its bits from a few rows under
// fixed masks), and rows are spaced 1 / c apart (so no row needs copying). Three shears
// (Paeth) would be simpler, but their roundings fall together and make a column of ink jump two
// pixels at once. Every pixel lands within a pixel of
// where TurnPart puts it, and ink steps by at most a pixel along a line.
BitPicture TurnBits(const BitPicture& page, double degrees, const PixelBox& part) {
    BitPicture out(std::max(part.Width(), 0), std::max(part.Height(), 0));
    if (part.Empty() || page.width <= 0 || page.height <= 0)
        return out;
    const double angle = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    const double cx = page.width / 2.0, cy = page.height / 2.0;
    const PixelBox canvas = TurnedBounds(page.width, page.height, degrees);
    const double ox = canvas.Width() / 2.0, oy = canvas.Height() / 2.0;
    const auto slide = [&](long u) {
        return std::lround(-s * (static_cast<double>(u) + 0.5 - cx));
    };
    const auto level = [&](long y) {
        return static_cast<long>(std::floor((static_cast<double>(y) + 0.5 - oy) / c + cy));
    };
    // Sheet columns along an output row, in fixed point.
    constexpr double kOne = 4294967296.0;
    const auto column = [&](long x, long y) {
        return std::llround((c * (static_cast<double>(x) + 0.5 - ox) +
                             s * (static_cast<double>(y) + 0.5 - oy) + cx) *
                            kOne);
    };
    const std::int64_t step = std::llround(c * kOne);

    // The sheet's words the part reads (the columns at its corners bound them), and the rows.
    long uMin = LONG_MAX, uMax = LONG_MIN;
    for (const long x : {static_cast<long>(part.left), static_cast<long>(part.right) - 1})
        for (const long y : {static_cast<long>(part.top), static_cast<long>(part.bottom) - 1}) {
            const long u = static_cast<long>(column(x, y) >> 32);
            uMin = std::min(uMin, u);
            uMax = std::max(uMax, u);
        }
    const long sheetWords = (static_cast<long>(page.width) + 63) / 64;
    const long firstWord = std::clamp(FloorDiv(uMin, 64), 0L, sheetWords);
    const long endWord = std::clamp(FloorDiv(uMax, 64) + 1, firstWord, sheetWords);

    std::vector<Piece> pieces;
    std::vector<std::size_t> firstPiece;
    long slideMin = 0, slideMax = 0;
    for (long w = firstWord; w < endWord; ++w) {
        firstPiece.push_back(pieces.size());
        for (int j = 0; j < 64 && w * 64 + j < page.width; ++j) {
            const int offset = static_cast<int>(slide(w * 64 + j));
            if (pieces.size() == firstPiece.back() || pieces.back().rowOffset != offset)
                pieces.push_back({offset, 0});
            pieces.back().mask |= PixelBit(j);
            slideMin = std::min<long>(slideMin, offset);
            slideMax = std::max<long>(slideMax, offset);
        }
    }
    firstPiece.push_back(pieces.size());

    // The sheet row each slid row comes from; null beyond the sheet (paper).
    const long firstRow = part.top + slideMin;
    std::vector<const std::uint8_t*> rows(
        static_cast<std::size_t>(part.bottom + slideMax - firstRow), nullptr);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const long v = level(firstRow + static_cast<long>(i));
        if (v >= 0 && v < page.height)
            rows[i] = page.Row(static_cast<int>(v));
    }

    std::vector<std::uint8_t> slid(static_cast<std::size_t>(sheetWords) * 8 + 8, 0);
    const long slidBytes = sheetWords * 8;
    const std::int64_t drift = static_cast<std::int64_t>(kOne) - step;  // per pixel, >= 0
    for (long y = part.top; y < part.bottom; ++y) {
        for (long w = firstWord; w < endWord; ++w) {
            const std::size_t i = static_cast<std::size_t>(w - firstWord);
            std::uint64_t v = 0;
            for (std::size_t p = firstPiece[i]; p < firstPiece[i + 1]; ++p) {
                const std::uint8_t* row =
                    rows[static_cast<std::size_t>(y + pieces[p].rowOffset - firstRow)];
                if (row)
                    v |= Word(row, static_cast<std::size_t>(w)) & pieces[p].mask;
            }
            std::memcpy(slid.data() + 8 * w, &v, sizeof v);
        }
        // Runs of consecutive sheet columns: column(x) - (x - x0) in whole pixels drops by one
        // at each join.
        std::uint8_t* to = out.Row(static_cast<int>(y - part.top));
        long x = part.left;
        const std::int64_t start = column(x, y);
        while (x < part.right) {
            const std::int64_t here = start - drift * (x - part.left);
            const std::int64_t whole = here >> 32;
            long end = part.right;
            if (drift > 0) {
                // The first x whose column falls a pixel behind: start - drift (x - left) <
                // whole * kOne.
                end = std::min<long>(
                    end, part.left + static_cast<long>((start - (whole << 32)) / drift) + 1);
            }
            end = std::max(end, x + 1);
            CopyBits(slid.data(), slidBytes, static_cast<long>(whole) + (x - part.left), end - x,
                     to, x - part.left);
            x = end;
        }
    }
    return out;
}

BitPicture TurnQuarters(BitPicture page, int quarters) {
    return Upright(std::move(page), OrientationOfQuarters(quarters));
}

}  // namespace vellumark::imaging
