#include "imaging/Resampler.h"

#include <algorithm>
#include <array>
#include <cmath>

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

std::uint8_t ToByte(float v) {
    return static_cast<std::uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f));
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
    // Rounded up to whole bytes' worth of pixels so bits rows can be added eight at a time.
    const std::size_t rowFloats = (static_cast<std::size_t>(sourceWidth) + 7) / 8 * 8 * channels;
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
    picture_.rgb.resize(static_cast<std::size_t>(width) * height * 3);
}

template <typename Accumulate>
void Resampler::AddWeighted(Accumulate&& accumulate) {
    const int y = rowsAdded_;
    if (y >= sourceHeight_)
        throw Error(ErrorCode::Internal, "resampler: too many rows");
    if (growing_) {
        std::swap(previous_, current_);
        std::fill(current_.begin(), current_.end(), 0.0f);
        accumulate(current_.data(), 1.0f);
    } else {
        for (int i = nextOutputRow_; i < height_ && rows_.first[i] <= y; ++i) {
            const float w = rows_.weights[rows_.offset[i] + (y - rows_.first[i])];
            accumulate(sums_[i % ring_].data(), w);
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
    AddWeighted([&](float* sums, float w) {
        for (std::size_t k = 0; k < n; ++k)
            sums[k] += w * static_cast<float>(samples[k]);
    });
}

void Resampler::AddBitsRow(const std::uint8_t* bits, bool oneIsBlack) {
    if (channels_ != 1 || (rowsAdded_ > 0 && !bits_))
        throw Error(ErrorCode::Internal, "resampler: bits rows need one channel");
    bits_ = true;
    // The sums count ink, so the paper bytes (most of a text page) cost nothing.
    zeroValue_ = 255;
    oneValue_ = 0;
    const std::uint8_t flip = oneIsBlack ? 0x00 : 0xFF;
    const std::size_t bytes = (static_cast<std::size_t>(sourceWidth_) + 7) / 8;
    AddWeighted([&](float* sums, float w) {
        for (std::size_t p = 0; p < bytes; ++p) {
            const std::uint8_t v = bits[p] ^ flip;
            if (v == 0)
                continue;
            const float* t = kBitTable[v].data();
            float* s = sums + p * 8;
            for (int k = 0; k < 8; ++k)
                s[k] += w * t[k];
        }
    });
}

template <int Span>
void Resampler::EmitPixels(const float* s, std::uint8_t* out) {
    const int span = Span > 0 ? Span : columns_.span;
    const float* w = columns_.spanWeights.data();
    const int* first = columns_.spanFirst.data();
    // Bits sums count ink; they map back to grey here.
    const float base = bits_ ? zeroValue_ : 0.0f, range = bits_ ? oneValue_ - zeroValue_ : 1.0f;
    for (int x = 0; x < width_; ++x, w += span) {
        if (channels_ == 1) {
            const float* p = s + first[x];
            float v = 0;
            for (int k = 0; k < span; ++k)
                v += w[k] * p[k];
            out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = ToByte(base + range * v);
        } else {
            const float* p = s + 3 * first[x];
            float r = 0, g = 0, b = 0;
            for (int k = 0; k < span; ++k) {
                r += w[k] * p[3 * k];
                g += w[k] * p[3 * k + 1];
                b += w[k] * p[3 * k + 2];
            }
            out[3 * x] = ToByte(r);
            out[3 * x + 1] = ToByte(g);
            out[3 * x + 2] = ToByte(b);
        }
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
