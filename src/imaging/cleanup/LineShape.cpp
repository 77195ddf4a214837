#include "imaging/cleanup/LineShape.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "imaging/cleanup/InkMap.h"

namespace vellumark::imaging {
namespace {

// Fewer lines than this say little about a page.
constexpr int kMinLines = 4;

}  // namespace

double AscenderRatio(const GreyPicture& page, double lineDegrees) {
    if (page.width <= 0 || page.height <= 0)
        return 1;
    const std::uint8_t threshold = InkThreshold(page);
    // Ink counted along the lines: a pixel's row is where its line meets the left edge, which
    // for a few degrees is as good as levelling the page first, at no cost.
    const double slope = std::tan(lineDegrees * std::numbers::pi / 180.0);
    const int lift = static_cast<int>(std::ceil(std::abs(slope) * page.width)) + 1;
    const int rows = page.height + 2 * lift;
    // Columns that share how far their pixels move: runs of several columns for a few
    // degrees, the whole width for none. Each run's ink is counted at once, with no branch.
    struct Span {
        int from, to, shift;
    };
    std::vector<Span> spans;
    for (int x = 0; x < page.width; ++x) {
        const int shift = static_cast<int>(std::lround(lift - x * slope));
        if (spans.empty() || spans.back().shift != shift)
            spans.push_back({x, x + 1, shift});
        else
            spans.back().to = x + 1;
    }
    std::vector<int> profile(static_cast<std::size_t>(rows), 0);
    for (int y = 0; y < page.height; ++y) {
        const std::uint8_t* row = page.pixels.data() + static_cast<std::size_t>(y) * page.width;
        for (const Span& span : spans) {
            int ink = 0;
            for (int x = span.from; x < span.to; ++x)
                ink += row[x] < threshold ? 1 : 0;
            profile[static_cast<std::size_t>(y + span.shift)] += ink;
        }
    }
    const int most = *std::max_element(profile.begin(), profile.end());
    if (most == 0)
        return 1;
    // Lines are runs of rows with ink, apart from stray specks; each line's middle band is
    // where its rows hold at least two fifths of its fullest row's ink.
    const int gap = std::max(1, most / 50);
    long long above = 0, below = 0;
    int lines = 0;
    for (int y = 0; y < rows;) {
        if (profile[static_cast<std::size_t>(y)] <= gap) {
            ++y;
            continue;
        }
        const int top = y;
        while (y < rows && profile[static_cast<std::size_t>(y)] > gap)
            ++y;
        const int bottom = y;  // past the line
        const auto first = profile.begin() + top, last = profile.begin() + bottom;
        const int fullest = *std::max_element(first, last);
        int bandTop = top, bandBottom = bottom;
        while (profile[static_cast<std::size_t>(bandTop)] * 5 < fullest * 2)
            ++bandTop;
        while (profile[static_cast<std::size_t>(bandBottom - 1)] * 5 < fullest * 2)
            --bandBottom;
        // A line of a few rows is a rule or a speck, not letters.
        if (bottom - top < 4)
            continue;
        ++lines;
        for (int r = top; r < bandTop; ++r)
            above += profile[static_cast<std::size_t>(r)];
        for (int r = bandBottom; r < bottom; ++r)
            below += profile[static_cast<std::size_t>(r)];
    }
    if (lines < kMinLines)
        return 1;
    return static_cast<double>(above + 1) / static_cast<double>(below + 1);
}

}  // namespace vellumark::imaging
