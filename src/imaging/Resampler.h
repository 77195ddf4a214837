#pragma once
// A streaming resampler: source rows go in top to bottom, one at a time, and only the few
// output rows they touch are held. Area averaging along an axis that shrinks (every source
// pixel counts by the share of it an output pixel covers: text stays crisp without aliasing),
// bilinear along an axis that grows. One object per picture; not thread-safe.

#include <cstdint>
#include <vector>

#include "imaging/Picture.h"

namespace vellumark::imaging {

class Resampler {
public:
    // channels is 1 (grey) or 3 (RGB). Sizes must be at least 1; throws vellumark::Error
    // (Internal) otherwise.
    Resampler(int sourceWidth, int sourceHeight, int width, int height, int channels);

    // One row of sourceWidth * channels 8-bit samples.
    void AddRow(const std::uint8_t* samples);
    // One row of sourceWidth packed bits, first pixel in the high bit; the resampler must have
    // one channel. A set bit is black when oneIsBlack, white otherwise.
    void AddBitsRow(const std::uint8_t* bits, bool oneIsBlack);

    int RowsAdded() const { return rowsAdded_; }
    // The picture, with the resampler's channels; all sourceHeight rows must have been added
    // (Internal error otherwise).
    Picture Finish();

private:
    // Per output pixel of one axis: the first source index and its weights (summing to 1).
    struct Axis {
        std::vector<int> first;
        std::vector<int> count;
        std::vector<int> offset;
        std::vector<float> weights;
        // The same taps, every output pixel given `span` of them (zeros padding), starting at
        // spanFirst: a fixed-length inner loop the compiler can unroll.
        int span = 1;
        std::vector<int> spanFirst;
        std::vector<float> spanWeights;
        int Last(int i) const { return first[i] + count[i] - 1; }
    };
    static Axis MakeAxis(int source, int target);

    template <typename Accumulate>
    void AddWeighted(Accumulate&& accumulate);
    void EmitRow(int row);
    template <int Span>
    void EmitPixels(const float* sums, std::uint8_t* out);
    void HalveBitsRow(const std::uint8_t* bits, bool oneIsBlack);

    int sourceWidth_, sourceHeight_, width_, height_, channels_;
    Axis columns_, rows_;
    int ring_ = 1;                          // accumulator rows held at once
    std::vector<std::vector<float>> sums_;  // sourceWidth * channels per open output row
    // When growing vertically: the last two source rows, as sums of weight 1.
    bool growing_ = false;
    std::vector<float> previous_, current_;
    int nextOutputRow_ = 0;
    int rowsAdded_ = 0;
    // Bits rows store 0/1 in the sums; the output maps them to these values.
    bool bits_ = false;
    float zeroValue_ = 0, oneValue_ = 255;
    // When halving bits rows: the first row of a pair, and each output pixel's ink, 0 to 4.
    std::vector<std::uint8_t> upperBits_;
    std::vector<std::uint8_t> inkCounts_;
    Picture picture_;
};

}  // namespace vellumark::imaging
