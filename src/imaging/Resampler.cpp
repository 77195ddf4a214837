#include "imaging/Resampler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "common/Error.h"

namespace vellumark::imaging {
namespace {

// For each byte value, its eight pixels as 0 or 1, high bit first: a bilevel row is added a
// byte at a time without being expanded first.
const std::array<std::array<float, 8>, 256> kBitTable = [] {
    std::array<std::array<float, 8>, 256> table{};
    for (int v = 0; v < 256; ++v)
        for (int k = 0; k < 8; ++k)
            table[v][k] = (v >> (7 - k)) & 1 ? 1.0f : 0.0f;
    return table;
}();

// For each byte value, the ink in each of its four pixel pairs, one count (0 to 2) per byte of
// the result, first pair in the lowest byte: a bilevel row halved a byte at a time.
const std::array<std::uint32_t, 256> kPairTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (int v = 0; v < 256; ++v)
        for (int pair = 0; pair < 4; ++pair) {
            const int bits = (v >> (6 - 2 * pair)) & 3;
            table[v] |= static_cast<std::uint32_t>((bits & 1) + (bits >> 1)) << (8 * pair);
        }
    return table;
}();

// Calls inkByte(index, byte) for each byte of a row of `width` bits in an eight-byte group that
// holds ink, with the byte's set bits its ink (0 for a paper byte among them), passing over the
// paper groups (most of a text page). Along a line of letters ink and paper bytes alternate
// unpredictably: a branch on each byte cost more than adding its nothing.
template <typename InkByte>
void ForEachInkByte(const std::uint8_t* bits, int width, bool oneIsBlack, InkByte&& inkByte) {
    const std::uint8_t flip = oneIsBlack ? 0x00 : 0xFF;
    const std::uint64_t flip8 = oneIsBlack ? 0 : ~std::uint64_t{0};
    const std::size_t bytes = (static_cast<std::size_t>(width) + 7) / 8;
    std::size_t p = 0;
    for (; p + 8 <= bytes; p += 8) {
        std::uint64_t group;
        std::memcpy(&group, bits + p, sizeof group);
        if ((group ^ flip8) == 0)
            continue;
        for (std::size_t k = p; k < p + 8; ++k)
            inkByte(k, static_cast<std::uint8_t>(bits[k] ^ flip));
    }
    for (; p < bytes; ++p) {
        if (const std::uint8_t v = bits[p] ^ flip; v != 0)
            inkByte(p, v);
    }
}

std::uint8_t ToByte(float v) {
    return static_cast<std::uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f));
}

// Four floats the compiler keeps in one SIMD register; an RGB pixel's sums are summed in one.
using Floats4 = float __attribute__((vector_size(16)));
using Ints4 = std::int32_t __attribute__((vector_size(16)));

Floats4 Load4(const float* p) {
    Floats4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// ToByte of each lane: truncating first and clamping the integer gives the same bytes as
// clamping first, for the small values sums hold.
Ints4 ToBytes(Floats4 v) {
    return __builtin_convertvector(v + 0.5f, Ints4);
}

std::uint8_t Clamped(std::int32_t v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// Bits sums are bit for bit +0 where there is no ink (ink weights are never negative), so
// paper is found eight sums at a time.
bool Paper8(const float* sums) {
    std::uint64_t group[4];
    std::memcpy(group, sums, sizeof group);
    return (group[0] | group[1] | group[2] | group[3]) == 0;
}

// The first sum at or after `from` that holds ink, or `size`.
std::size_t NextInk(const float* sums, std::size_t from, std::size_t size) {
    while (from + 8 <= size && Paper8(sums + from))
        from += 8;
    while (from < size && sums[from] == 0.0f)
        ++from;
    return from;
}

// Where eight sums of paper in a row start, at or after `from` (in steps of eight), or `size`.
std::size_t InkEnd(const float* sums, std::size_t from, std::size_t size) {
    while (from + 8 <= size && !Paper8(sums + from))
        from += 8;
    return from + 8 <= size ? from : size;
}

}  // namespace

Resampler::Axis Resampler::MakeAxis(int source, int target) {
    Axis axis;
    axis.first.resize(target);
    axis.count.resize(target);
    axis.offset.resize(target);
    const double scale = static_cast<double>(source) / target;
    std::vector<float> taps;
    for (int i = 0; i < target; ++i) {
        taps.clear();
        int first = 0;
        if (source == target) {
            first = i;
            taps.push_back(1.0f);
        } else if (scale > 1) {
            // The output pixel covers [lo, hi) of the source; each source pixel counts by the
            // part of it inside.
            const double lo = i * scale, hi = (i + 1) * scale;
            const int begin = static_cast<int>(std::floor(lo));
            const int end = std::min(source, static_cast<int>(std::ceil(hi)));
            for (int j = begin; j < end; ++j) {
                const double w = std::min(hi, j + 1.0) - std::max(lo, static_cast<double>(j));
                if (w <= 1e-9 && taps.empty())
                    continue;
                if (taps.empty())
                    first = j;
                taps.push_back(static_cast<float>(std::max(w, 0.0)));
            }
            while (taps.size() > 1 && taps.back() <= 1e-9f)
                taps.pop_back();
        } else {
            // Pixel centres: output centre i + 0.5 sits at source position (i + 0.5) * scale.
            const double s = std::max(0.0, (i + 0.5) * scale - 0.5);
            first = std::min(source - 1, static_cast<int>(std::floor(s)));
            const double f = s - first;
            if (first + 1 < source && f > 1e-9) {
                taps.push_back(static_cast<float>(1 - f));
                taps.push_back(static_cast<float>(f));
            } else {
                taps.push_back(1.0f);
            }
        }
        float total = 0;
        for (float w : taps)
            total += w;
        axis.first[i] = first;
        axis.count[i] = static_cast<int>(taps.size());
        axis.offset[i] = static_cast<int>(axis.weights.size());
        for (float w : taps)
            axis.weights.push_back(w / total);
        axis.span = std::max(axis.span, static_cast<int>(taps.size()));
    }
    axis.span = std::min(axis.span, source);
    axis.spanFirst.resize(target);
    axis.spanWeights.assign(static_cast<std::size_t>(target) * axis.span, 0.0f);
    for (int i = 0; i < target; ++i) {
        const int start = std::min(axis.first[i], source - axis.span);
        axis.spanFirst[i] = start;
        for (int k = 0; k < axis.count[i]; ++k)
            axis.spanWeights[static_cast<std::size_t>(i) * axis.span + axis.first[i] - start + k] =
                axis.weights[axis.offset[i] + k];
    }
    return axis;
}

Resampler::Resampler(int sourceWidth, int sourceHeight, int width, int height, int channels)
    : sourceWidth_(sourceWidth),
      sourceHeight_(sourceHeight),
      width_(width),
      height_(height),
      channels_(channels) {
    if (sourceWidth < 1 || sourceHeight < 1 || width < 1 || height < 1 ||
        (channels != 1 && channels != 3))
        throw Error(ErrorCode::Internal, "resampler: bad sizes");
    columns_ = MakeAxis(sourceWidth, width);
    rows_ = MakeAxis(sourceHeight, height);
    // Rounded up to whole bytes' worth of pixels so bits rows can be added eight at a time, and
    // one more so that an RGB pixel's three sums can be read as four.
    const std::size_t rowFloats =
        (static_cast<std::size_t>(sourceWidth) + 7) / 8 * 8 * channels + 1;
    if (height > sourceHeight) {
        // Growing: every output row blends two source rows, so the last two are kept (holding
        // the output rows instead could mean thousands of them for one source row).
        growing_ = true;
        previous_.assign(rowFloats, 0.0f);
        current_.assign(rowFloats, 0.0f);
    } else {
        // The most output rows open at once: those starting before the earliest open one ends.
        for (int i = 0, j = 0; i < height; ++i) {
            j = std::max(j, i);
            while (j + 1 < height && rows_.first[j + 1] <= rows_.Last(i))
                ++j;
            ring_ = std::max(ring_, j - i + 1);
        }
    }
    sums_.assign(ring_, std::vector<float>(rowFloats, 0.0f));
    picture_.width = width;
    picture_.height = height;
    picture_.channels = channels;
    picture_.samples.resize(static_cast<std::size_t>(width) * height * channels);
}

template <typename Accumulate>
void Resampler::AddWeighted(Accumulate&& accumulate) {
    const int y = rowsAdded_;
    if (y >= sourceHeight_)
        throw Error(ErrorCode::Internal, "resampler: too many rows");
    if (growing_) {
        std::swap(previous_, current_);
        std::fill(current_.begin(), current_.end(), 0.0f);
        accumulate(current_.data(), 1.0f, nullptr, 0.0f);
    } else {
        // A source row falls into one output row or straddles two (when shrinking, an output
        // row is at least a source row high): two are added in one pass over the row.
        auto covers = [&](int i) { return i < height_ && rows_.first[i] <= y; };
        auto weight = [&](int i) { return rows_.weights[rows_.offset[i] + (y - rows_.first[i])]; };
        for (int i = nextOutputRow_; covers(i); i += 2) {
            float* sums = sums_[i % ring_].data();
            if (covers(i + 1))
                accumulate(sums, weight(i), sums_[(i + 1) % ring_].data(), weight(i + 1));
            else
                accumulate(sums, weight(i), nullptr, 0.0f);
        }
    }
    ++rowsAdded_;
    while (nextOutputRow_ < height_ && rows_.Last(nextOutputRow_) == y) {
        if (growing_) {
            // Its taps are this row and, at most, the one before.
            const int i = nextOutputRow_;
            float* sums = sums_[0].data();
            for (int k = 0; k < rows_.count[i]; ++k) {
                const float w = rows_.weights[rows_.offset[i] + k];
                const float* row = rows_.first[i] + k == y ? current_.data() : previous_.data();
                for (std::size_t n = 0; n < current_.size(); ++n)
                    sums[n] += w * row[n];
            }
        }
        EmitRow(nextOutputRow_++);
    }
}

void Resampler::AddRow(const std::uint8_t* samples) {
    if (bits_)
        throw Error(ErrorCode::Internal, "resampler: mixed rows");
    const std::size_t n = static_cast<std::size_t>(sourceWidth_) * channels_;
    AddWeighted([&](float* sums, float w, float* next, float nextW) {
        if (next) {
            for (std::size_t k = 0; k < n; ++k) {
                const float v = samples[k];
                sums[k] += w * v;
                next[k] += nextW * v;
            }
        } else {
            for (std::size_t k = 0; k < n; ++k)
                sums[k] += w * static_cast<float>(samples[k]);
        }
    });
}

void Resampler::AddBitsRow(const std::uint8_t* bits, bool oneIsBlack) {
    if (channels_ != 1 || (rowsAdded_ > 0 && !bits_))
        throw Error(ErrorCode::Internal, "resampler: bits rows need one channel");
    bits_ = true;
    if (sourceWidth_ == 2 * width_ && sourceHeight_ == 2 * height_) {
        HalveBitsRow(bits, oneIsBlack);
        return;
    }
    // The sums count ink, so the paper bytes (most of a text page) cost nothing.
    zeroValue_ = 255;
    oneValue_ = 0;
    AddWeighted([&](float* sums, float w, float* next, float nextW) {
        ForEachInkByte(bits, sourceWidth_, oneIsBlack, [&](std::size_t p, std::uint8_t v) {
            const float* t = kBitTable[v].data();
            float* s = sums + p * 8;
            for (int k = 0; k < 8; ++k)
                s[k] += w * t[k];
            if (next) {
                float* s2 = next + p * 8;
                for (int k = 0; k < 8; ++k)
                    s2[k] += nextW * t[k];
            }
        });
    });
}

// Halving is common (a page measured at half its resolution) and needs no weights: each output
// pixel counts the ink of its two by two source pixels, and maps the count to the grey the
// weighted sums would give.
void Resampler::HalveBitsRow(const std::uint8_t* bits, bool oneIsBlack) {
    if (rowsAdded_ >= sourceHeight_)
        throw Error(ErrorCode::Internal, "resampler: too many rows");
    const std::size_t bytes = (static_cast<std::size_t>(sourceWidth_) + 7) / 8;
    // A row pair is counted at once, from the first row kept here, so that each count is
    // written once rather than added to twice and cleared.
    if (rowsAdded_++ % 2 == 0) {
        upperBits_.assign(bits, bits + bytes);
        return;
    }
    if (inkCounts_.empty())
        inkCounts_.assign(static_cast<std::size_t>(width_) + 4, 0);
    const std::uint8_t flip = oneIsBlack ? 0x00 : 0xFF;
    const std::uint64_t flip8 = oneIsBlack ? 0 : ~std::uint64_t{0};
    const std::uint8_t* upper = upperBits_.data();
    std::uint8_t* inkCounts = inkCounts_.data();
    // As in ForEachInkByte, every byte of a group holding ink is counted, paper or not.
    const auto countPair = [&](std::size_t p) {
        const std::uint32_t counts = kPairTable[upper[p] ^ flip] + kPairTable[bits[p] ^ flip];
        std::memcpy(inkCounts + 4 * p, &counts, sizeof counts);  // at most 4 a byte: no carries
    };
    std::size_t p = 0;
    for (; p + 8 <= bytes; p += 8) {
        std::uint64_t above, below;
        std::memcpy(&above, upper + p, sizeof above);
        std::memcpy(&below, bits + p, sizeof below);
        if (((above ^ flip8) | (below ^ flip8)) == 0) {
            std::memset(inkCounts + 4 * p, 0, 32);
            continue;
        }
        for (std::size_t k = p; k < p + 8; ++k)
            countPair(k);
    }
    for (; p < bytes; ++p)
        countPair(p);
    // Ink counts 0 to 4 make 255, 191, 128, 64 and 0: 255 less 64 a count, less one from two
    // up, in bytes (four counts' 256 wraps to 0, less one to 255), a loop that GCC vectorises.
    std::uint8_t* __restrict out = picture_.Row(nextOutputRow_++);
    const std::uint8_t* __restrict counts = inkCounts_.data();
    const int width = width_;
    for (int x = 0; x < width; ++x) {
        const std::uint8_t count = counts[x];
        out[x] = static_cast<std::uint8_t>(
            ~static_cast<std::uint8_t>((count << 6) - ((count + 2) >> 2)));
    }
}

template <int Span>
void Resampler::EmitPixels(const float* s, std::uint8_t* out) {
    // Members are read once: a store through `out` could change any of them, as far as the
    // compiler knows, and it would read them again for every pixel.
    const int span = Span > 0 ? Span : columns_.span;
    const int width = width_;
    const float* w = columns_.spanWeights.data();
    const int* first = columns_.spanFirst.data();
    if (channels_ == 3) {
        for (int x = 0; x < width; ++x, w += span) {
            const float* p = s + 3 * first[x];
            Floats4 rgb = {0, 0, 0, 0};
#pragma GCC unroll 8
            for (int k = 0; k < span; ++k)
                rgb += Load4(p + 3 * k) * w[k];
            const Ints4 bytes = ToBytes(rgb);
            out[3 * x] = Clamped(bytes[0]);
            out[3 * x + 1] = Clamped(bytes[1]);
            out[3 * x + 2] = Clamped(bytes[2]);
        }
        return;
    }
    // Bits sums count ink; they map back to grey here.
    const bool bits = bits_;
    const float base = bits ? zeroValue_ : 0.0f, range = bits ? oneValue_ - zeroValue_ : 1.0f;
    const std::uint8_t paper = ToByte(base + range * 0.0f);
    const std::size_t floats = sums_[0].size();
    // Bits rows are mostly paper, whose pixels need no sums: [inkBegin, inkEnd) may hold ink,
    // the sums from the last search's start up to inkBegin hold none.
    std::size_t inkBegin = 0, inkEnd = 0;
    for (int x = 0; x < width; ++x, w += span) {
        const std::size_t from = static_cast<std::size_t>(first[x]);
        if (bits && from >= inkEnd) {
            inkBegin = NextInk(s, from, floats);
            inkEnd = InkEnd(s, inkBegin, floats);
        }
        std::uint8_t grey = paper;
        if (from + static_cast<std::size_t>(span) > inkBegin) {
            const float* p = s + from;
            float v = 0;
#pragma GCC unroll 8
            for (int k = 0; k < span; ++k)
                v += w[k] * p[k];
            grey = ToByte(base + range * v);
        }
        out[x] = grey;
    }
}

void Resampler::EmitRow(int row) {
    std::vector<float>& sums = sums_[row % ring_];
    std::uint8_t* out = picture_.Row(row);
    switch (columns_.span) {
        case 1:
            EmitPixels<1>(sums.data(), out);
            break;
        case 2:
            EmitPixels<2>(sums.data(), out);
            break;
        case 3:
            EmitPixels<3>(sums.data(), out);
            break;
        case 4:
            EmitPixels<4>(sums.data(), out);
            break;
        case 5:
            EmitPixels<5>(sums.data(), out);
            break;
        case 6:
            EmitPixels<6>(sums.data(), out);
            break;
        default:
            EmitPixels<0>(sums.data(), out);
            break;
    }
    std::fill(sums.begin(), sums.end(), 0.0f);
}

Picture Resampler::Finish() {
    if (rowsAdded_ != sourceHeight_ || nextOutputRow_ != height_)
        throw Error(ErrorCode::Internal, "resampler: rows missing");
    return std::move(picture_);
}

}  // namespace vellumark::imaging
