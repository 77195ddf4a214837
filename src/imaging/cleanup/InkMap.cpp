#include "imaging/cleanup/InkMap.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <numeric>
#include <optional>

namespace vellumark::imaging {

PixelBox PixelBox::Union(const PixelBox& other) const {
    if (Empty())
        return other;
    if (other.Empty())
        return *this;
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
}

namespace {

using Levels = std::array<std::uint64_t, 256>;

// How many pixels of each grey level the box holds, every fourth row: that tells the levels as
// well as all of them. Most pixels are paper, of one or a few levels: four counts per level,
// taken in turn, keep each count from waiting on the one before.
Levels LevelsIn(const GreyPicture& page, const PixelBox& box) {
    std::array<std::array<std::uint32_t, 256>, 4> counts{};
    for (int y = box.top; y < box.bottom; y += 4) {
        const std::uint8_t* row = page.pixels.data() + static_cast<std::size_t>(y) * page.width;
        int x = box.left;
        for (; x + 4 <= box.right; x += 4) {
            ++counts[0][row[x]];
            ++counts[1][row[x + 1]];
            ++counts[2][row[x + 2]];
            ++counts[3][row[x + 3]];
        }
        for (; x < box.right; ++x)
            ++counts[0][row[x]];
    }
    Levels levels{};
    for (const auto& part : counts) {
        for (int v = 0; v < 256; ++v)
            levels[v] += part[v];
    }
    return levels;
}

// Otsu's split of the levels: values below `threshold` are the dark class; `light` is the
// light class's mean. None for a picture of one level.
struct Split {
    int threshold = 128;
    double light = 255;
};
std::optional<Split> OtsuSplit(const Levels& levels) {
    double total = 0, sumAll = 0;
    for (int v = 0; v < 256; ++v) {
        total += static_cast<double>(levels[v]);
        sumAll += static_cast<double>(v) * static_cast<double>(levels[v]);
    }
    double below = 0, sumBelow = 0, best = -1;
    std::optional<Split> split;
    for (int v = 0; v < 256; ++v) {
        below += static_cast<double>(levels[v]);
        sumBelow += static_cast<double>(v) * static_cast<double>(levels[v]);
        const double above = total - below;
        if (below == 0 || above == 0)
            continue;
        const double meanBelow = sumBelow / below;
        const double meanAbove = (sumAll - sumBelow) / above;
        const double between = below * above * (meanBelow - meanAbove) * (meanBelow - meanAbove);
        if (between > best) {
            best = between;
            split = Split{v + 1, meanAbove};
        }
    }
    return split;
}

// The part of the sheet whose levels part ink from paper: all but a sixth at each side, where
// a scanner's dark border lies. Small pictures are taken whole.
constexpr int kMiddleFrom = 48;
constexpr int kSideShare = 6;
// Ink is at least this much darker than the paper (and a fifth of the paper's level), so that a
// blank page's noise is not taken for it, and never lighter than kLightestInk, so that
// show-through and pencil on white paper are not either.
constexpr double kInkBelowPaper = 24;
constexpr int kLightestInk = 192;
// Ink may be as light as this, or half the paper's level on a dim scan.
constexpr int kDarkestInk = 64;

}  // namespace

InkLevels MeasureInk(const GreyPicture& page) {
    // Taken in the middle of the sheet: a scanner's dark border can be a tenth of a sheet or
    // more, and against it a faded print's grey letters would count as paper. (The whole sheet
    // cannot say what the paper is either: a levelled sheet's corners are filled white.)
    const bool roomy = page.width >= kMiddleFrom && page.height >= kMiddleFrom;
    const PixelBox middle = roomy ? PixelBox{page.width / kSideShare, page.height / kSideShare,
                                             page.width - page.width / kSideShare,
                                             page.height - page.height / kSideShare}
                                  : PixelBox{0, 0, page.width, page.height};
    const std::optional<Split> split = OtsuSplit(LevelsIn(page, middle));
    if (!split)
        return {};
    const double paper = split->light;
    const int lightest =
        std::min(kLightestInk, static_cast<int>(paper - std::max(kInkBelowPaper, paper / 5)));
    const int darkest = std::min(kDarkestInk, static_cast<int>(paper / 2));
    return {static_cast<std::uint8_t>(
                std::clamp(split->threshold, darkest, std::max(darkest, lightest))),
            paper};
}

namespace {

// A map of where `darkest`, the page already reduced, is darker than `threshold`.
InkMap Thresholded(const GreyPicture& darkest, int factor, std::uint8_t threshold) {
    InkMap map;
    map.factor = factor;
    map.width = darkest.width;
    map.height = darkest.height;
    map.ink.resize(darkest.pixels.size());
    // A plain threshold, which the compiler makes a few instructions per 32 pixels once it
    // knows the stores cannot change the vectors' own pointers.
    const std::uint8_t* __restrict in = darkest.pixels.data();
    std::uint8_t* __restrict out = map.ink.data();
    const std::size_t count = darkest.pixels.size();
    for (std::size_t i = 0; i < count; ++i)
        out[i] = in[i] < threshold ? 1 : 0;
    return map;
}

// Calls `use` with the page reduced by `factor`, each pixel the darkest of those it covers.
template <class Use>
InkMap WithDarkest(const GreyPicture& page, int factor, Use&& use) {
    if (factor == 1)
        return use(page);
    return use(ShrinkKeepingInk(page, factor));
}

// How far in from each edge a shadow's paper is looked for, in inches (a fold's shadow reaches
// an inch or so into each page, as does that of a book's edge lifted off the glass), and which
// share of a line's pixels its paper is at least as light as (its text's ink and a little noise
// are darker).
constexpr double kShadowReach = 1.25;
constexpr double kLinePaper = 0.9;
// A line whose paper is darker than this share of the page's is a border's or a shadow's core.
constexpr double kDarkestShadowPaper = 0.4;
// A shadow is at least this wide, in inches; a narrower run of dim lines is a line of the page
// (the paper's edge, a rule) and stays ink.
constexpr double kNarrowestShadow = 0.15;
// A shadow reaches the edge, or nearly: past the white a turn fills a levelled sheet's corners
// with, or the light on a fold's very crease.
constexpr double kShadowFromEdge = 0.2;

// One edge of a page and the lines of pixels parallel to it, counted from it inwards: columns
// for the left and right edges, rows for the top and bottom.
struct Edge {
    bool rows = false;
    bool far = false;  // the right or the bottom edge
    int width = 0, height = 0;

    int Lines() const { return rows ? height : width; }
    int Length() const { return rows ? width : height; }
    // The pixel `line` begins at, and the step to the next one along it.
    std::size_t Start(int line) const {
        const auto across = static_cast<std::size_t>(far ? Lines() - 1 - line : line);
        return rows ? across * static_cast<std::size_t>(width) : across;
    }
    std::size_t Step() const { return rows ? 1 : static_cast<std::size_t>(width); }
};

// Clears from `map` the shadowed paper of the lines along `edge` of `darkest`, the page at the
// map's size, and marks it in `shadowPaper` with `mark`.
void ClearShadowPaperAt(const Edge& edge, const GreyPicture& darkest, const InkLevels& levels,
                        double mapDpi, std::uint8_t mark, InkMap& map, InkMap& shadowPaper) {
    const double contrast = levels.paper - levels.threshold;
    const int length = edge.Length();
    const int reach = std::min(edge.Lines() / 4, static_cast<int>(kShadowReach * mapDpi));
    if (contrast <= 0 || length == 0 || reach == 0)
        return;
    // Each line's paper: the grey its share of pixels is at least as light as, counted out.
    std::vector<double> paper(static_cast<std::size_t>(reach));
    const auto share = static_cast<int>(kLinePaper * (length - 1));
    for (int i = 0; i < reach; ++i) {
        std::array<int, 256> count{};
        const std::uint8_t* pixel = darkest.pixels.data() + edge.Start(i);
        for (int p = 0; p < length; ++p, pixel += edge.Step())
            ++count[*pixel];
        std::size_t grey = 0;
        for (int darker = 0; darker + count[grey] <= share; ++grey)
            darker += count[grey];
        paper[static_cast<std::size_t>(i)] = static_cast<double>(grey);
    }
    const auto level = [&](int i) { return paper[static_cast<std::size_t>(i)]; };
    const auto dark = [&](int i) { return level(i) < kDarkestShadowPaper * levels.paper; };
    const auto shadowed = [&](int i) { return !dark(i) && level(i) < levels.paper - contrast / 2; };
    // From the edge inwards: a little light, then the shadow's dim lines, the darker ones of its
    // core or a border among them (and those a column of text's aligned strokes make darker). A
    // photograph's dim side away from the edge is no shadow.
    const int narrowest = std::max(2, static_cast<int>(kNarrowestShadow * mapDpi));
    const int fromEdge = static_cast<int>(kShadowFromEdge * mapDpi);
    int i = 0;
    while (i < reach && i < fromEdge && !dark(i) && !shadowed(i))
        ++i;
    int runEnd = i, dim = 0;
    for (; runEnd < reach && (dark(runEnd) || shadowed(runEnd)); ++runEnd)
        dim += shadowed(runEnd) ? 1 : 0;
    if (dim < narrowest)
        return;
    if (shadowPaper.ink.empty())
        shadowPaper = {map.width, map.height, map.factor,
                       std::vector<std::uint8_t>(map.ink.size())};
    for (; i < runEnd; ++i) {
        if (!shadowed(i))
            continue;
        const double inkBelow = level(i) - contrast;
        for (std::size_t p = 0, pixel = edge.Start(i); p < static_cast<std::size_t>(length);
             ++p, pixel += edge.Step()) {
            if (map.ink[pixel] != 0 && darkest.pixels[pixel] >= inkBelow) {
                map.ink[pixel] = 0;
                shadowPaper.ink[pixel] = mark;
            }
        }
    }
}

// Clears from `map` the shadowed paper next to each edge of `darkest`, the page at the map's
// size, and marks it in `shadowPaper` (left empty when there is none).
void ClearShadowPaper(const GreyPicture& darkest, const InkLevels& levels, double mapDpi,
                      InkMap& map, InkMap& shadowPaper) {
    for (const bool rows : {false, true}) {
        for (const bool far : {false, true}) {
            ClearShadowPaperAt({rows, far, darkest.width, darkest.height}, darkest, levels, mapDpi,
                               rows ? kShadowAbove : kShadowBeside, map, shadowPaper);
        }
    }
}

}  // namespace

InkMap ReduceToInk(const GreyPicture& page, int factor, std::uint8_t threshold) {
    factor = std::max(factor, 1);
    return WithDarkest(page, factor, [&](const GreyPicture& darkest) {
        return Thresholded(darkest, factor, threshold);
    });
}

InkMap ReduceToInkBesideShadows(const GreyPicture& page, int factor, const InkLevels& levels,
                                double mapDpi, InkMap& shadowPaper) {
    factor = std::max(factor, 1);
    shadowPaper = {};
    return WithDarkest(page, factor, [&](const GreyPicture& darkest) {
        InkMap map = Thresholded(darkest, factor, levels.threshold);
        ClearShadowPaper(darkest, levels, mapDpi, map, shadowPaper);
        return map;
    });
}

namespace {

// The darkest of each `factor` neighbours across a row, for a factor known when compiled: the
// loop over them unrolls, where a general one costs a call and a branch per output pixel.
template <int Factor>
void DarkestAcross(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, int count) {
    for (int x = 0; x < count; ++x) {
        std::uint8_t darkest = in[x * Factor];
        for (int k = 1; k < Factor; ++k)
            darkest = std::min(darkest, in[x * Factor + k]);
        out[x] = darkest;
    }
}

void DarkestAcross(const std::uint8_t* in, std::uint8_t* out, int count, int factor) {
    switch (factor) {
        case 2:
            return DarkestAcross<2>(in, out, count);
        case 3:
            return DarkestAcross<3>(in, out, count);
        case 4:
            return DarkestAcross<4>(in, out, count);
        default:
            for (int x = 0; x < count; ++x)
                out[x] = *std::min_element(in + x * factor, in + (x + 1) * factor);
    }
}

void DarkestDown(std::uint8_t* __restrict darkest, const std::uint8_t* __restrict row, int width) {
    for (int x = 0; x < width; ++x)
        darkest[x] = std::min(darkest[x], row[x]);
}

}  // namespace

GreyPicture ShrinkKeepingInk(const GreyPicture& page, int factor) {
    factor = std::max(factor, 1);
    GreyPicture out{(page.width + factor - 1) / factor, (page.height + factor - 1) / factor, {}};
    out.pixels.assign(static_cast<std::size_t>(out.width) * out.height, 255);
    // Down the columns first, a whole row at a time, which the compiler does 16 pixels a step;
    // then across, on one row in `factor`.
    std::vector<std::uint8_t> darkest(static_cast<std::size_t>(page.width));
    const int whole = page.width / factor;  // output pixels covering `factor` columns
    for (int top = 0; top < page.height; top += factor) {
        const std::uint8_t* row = page.pixels.data() + static_cast<std::size_t>(top) * page.width;
        std::copy_n(row, page.width, darkest.begin());
        for (int y = top + 1; y < std::min(top + factor, page.height); ++y) {
            row += page.width;
            DarkestDown(darkest.data(), row, page.width);
        }
        std::uint8_t* outRow =
            out.pixels.data() + static_cast<std::size_t>(top / factor) * out.width;
        DarkestAcross(darkest.data(), outRow, whole, factor);
        if (whole < out.width)
            outRow[whole] = *std::min_element(darkest.begin() + whole * factor, darkest.end());
    }
    return out;
}

namespace {

struct Run {
    int y, begin, end;  // [begin, end) on row y
    int label;
};

int Find(std::vector<int>& parent, int i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

// The index of the first byte in memory order that is not zero, of a word that is not zero.
int FirstSetByte(std::uint64_t word) {
    return (std::endian::native == std::endian::little ? std::countr_zero(word)
                                                       : std::countl_zero(word)) /
           8;
}

// The first cell at or after `x` on the row (`width` when none) that is ink, or paper: most of a
// map is paper, and runs of ink are often long, so both are passed eight cells at a time.
template <bool Ink>
int NextCell(const std::uint8_t* row, int x, int width) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    for (; x + 8 <= width; x += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, row + x, sizeof eight);
        // Cells are 0 or 1: the bytes that differ from what is passed over.
        if (const std::uint64_t other = Ink ? eight : eight ^ kOnes; other != 0)
            return x + FirstSetByte(other);
    }
    while (x < width && (row[x] != 0) != Ink)
        ++x;
    return x;
}

// Runs of ink, each labelled with its piece's number (0 to count - 1).
struct LabelledRuns {
    std::vector<Run> runs;
    int count = 0;
};

// Labels the runs that `rowRuns(y, add)` gives, calling add(begin, end) for each run of row y
// from left to right, rows from the top.
template <class RowRuns>
LabelledRuns LabelRows(int height, RowRuns&& rowRuns) {
    LabelledRuns labelled;
    std::vector<Run>& runs = labelled.runs;
    std::vector<int> parent;
    std::size_t previousBegin = 0, previousEnd = 0;  // runs of the row above
    for (int y = 0; y < height; ++y) {
        const std::size_t rowBegin = runs.size();
        std::size_t above = previousBegin;
        rowRuns(y, [&](int begin, int end) {
            const int label = static_cast<int>(parent.size());
            parent.push_back(label);
            // Runs above that touch this one, diagonals included. A piece's root is its least
            // label, so this run's root is known without looking it up.
            while (above < previousEnd && runs[above].end < begin)
                ++above;
            int mine = label;
            for (std::size_t a = above; a < previousEnd && runs[a].begin <= end; ++a) {
                const int root = Find(parent, runs[a].label);
                if (root != mine) {
                    parent[std::max(root, mine)] = std::min(root, mine);
                    mine = std::min(root, mine);
                }
            }
            runs.push_back({y, begin, end, label});
        });
        previousBegin = rowBegin;
        previousEnd = runs.size();
    }
    std::vector<int> number(parent.size(), -1);
    for (Run& run : runs) {
        const int root = Find(parent, run.label);
        if (number[root] < 0)
            number[root] = labelled.count++;
        run.label = number[root];
    }
    return labelled;
}

LabelledRuns LabelRuns(const InkMap& map) {
    return LabelRows(map.height, [&](int y, auto&& add) {
        const std::uint8_t* row = map.ink.data() + static_cast<std::size_t>(y) * map.width;
        for (int x = NextCell<true>(row, 0, map.width); x < map.width;) {
            const int begin = x;
            x = NextCell<false>(row, x + 1, map.width);
            add(begin, x);
            x = NextCell<true>(row, x, map.width);
        }
    });
}

// Sixty-four pixels of a bit row from byte `at`, the first in the high bit.
std::uint64_t LoadBits(const std::uint8_t* row, std::size_t at) {
    std::uint64_t word;
    std::memcpy(&word, row + at, sizeof word);
    if constexpr (std::endian::native == std::endian::little)
        word = __builtin_bswap64(word);
    return word;
}

// A bit row's runs of ink, found a word at a time from where each run starts and stops.
LabelledRuns LabelBitRuns(const BitPicture& page) {
    const std::size_t words = (static_cast<std::size_t>(page.width) + 63) / 64;
    return LabelRows(page.height, [&](int y, auto&& add) {
        const std::uint8_t* row = page.Row(y);
        bool inRun = false;
        int begin = 0;
        for (std::size_t w = 0; w < words; ++w) {
            const std::uint64_t word = LoadBits(row, 8 * w);
            const int base = static_cast<int>(64 * w);
            int at = 0;
            while (at < 64) {
                // The rest of the word from `at`, paper where a run is sought and ink where its
                // end is; the zeros shifted in from below are passed over when all the rest is.
                const std::uint64_t rest = (inRun ? ~word : word) << at;
                if (rest == 0)
                    break;
                at += std::countl_zero(rest);
                if (inRun)
                    add(begin, base + at);
                else
                    begin = base + at;
                inRun = !inRun;
            }
        }
        if (inRun)
            add(begin, page.width);  // ink to the row's end: the bits past it are clear
    });
}

// Clears bits [begin, end) of a row.
void ClearBits(std::uint8_t* row, int begin, int end) {
    for (int x = begin; x < end;) {
        if (x % 8 == 0 && end - x >= 8) {
            row[x / 8] = 0;
            x += 8;
        } else {
            row[x / 8] &= static_cast<std::uint8_t>(~(0x80u >> (x % 8)));
            ++x;
        }
    }
}

// Clears the pieces of at most `maxArea` pixels that lie alone on bare paper, with no other ink
// within one and a half times a speck's width (the root of `maxArea`): the dots of a halftone
// picture, a dotted rule or a stipple stay. `inkIn(box)` counts the ink within a box of the page
// (clipped to it). Returns how many were cleared.
template <class InkIn, class ClearRun>
int ClearSmallPieces(const LabelledRuns& labelled, int maxArea, InkIn&& inkIn, ClearRun&& clear) {
    std::vector<int> area(static_cast<std::size_t>(labelled.count), 0);
    for (const Run& run : labelled.runs)
        area[static_cast<std::size_t>(run.label)] += run.end - run.begin;
    // Boxes only for the small pieces: most runs are of letters.
    std::vector<PixelBox> boxes(area.size());
    for (const Run& run : labelled.runs) {
        const auto label = static_cast<std::size_t>(run.label);
        if (area[label] <= maxArea)
            boxes[label] = boxes[label].Union({run.begin, run.y, run.end, run.y + 1});
    }
    const int near =
        std::max(1, static_cast<int>(std::lround(1.5 * std::sqrt(static_cast<double>(maxArea)))));
    std::vector<char> alone(area.size(), 0);
    int cleared = 0;
    for (std::size_t i = 0; i < area.size(); ++i) {
        if (area[i] > maxArea)
            continue;
        const PixelBox& box = boxes[i];
        alone[i] = inkIn(PixelBox{box.left - near, box.top - near, box.right + near,
                                  box.bottom + near}) == area[i];
        cleared += alone[i];
    }
    for (const Run& run : labelled.runs) {
        if (alone[static_cast<std::size_t>(run.label)])
            clear(run);
    }
    return cleared;
}

}  // namespace

std::vector<InkPiece> FindInkPieces(const InkMap& map) {
    const LabelledRuns labelled = LabelRuns(map);
    std::vector<InkPiece> pieces(static_cast<std::size_t>(labelled.count));
    for (const Run& run : labelled.runs) {
        InkPiece& piece = pieces[static_cast<std::size_t>(run.label)];
        piece.box = piece.box.Union({run.begin, run.y, run.end, run.y + 1});
        piece.area += run.end - run.begin;
    }
    return pieces;
}

int Despeckle(GreyPicture& page, int maxArea) {
    const InkMap map = ReduceToInk(page, 1, 128);
    const auto inkIn = [&](const PixelBox& box) {
        int ink = 0;
        for (int y = std::max(box.top, 0); y < std::min(box.bottom, map.height); ++y) {
            const std::uint8_t* row = map.ink.data() + static_cast<std::size_t>(y) * map.width;
            for (int x = std::max(box.left, 0); x < std::min(box.right, map.width); ++x)
                ink += row[x];
        }
        return ink;
    };
    return ClearSmallPieces(LabelRuns(map), maxArea, inkIn, [&](const Run& run) {
        std::fill_n(
            page.pixels.begin() + static_cast<std::ptrdiff_t>(run.y) * page.width + run.begin,
            run.end - run.begin, 255);
    });
}

int Despeckle(BitPicture& page, int maxArea) {
    const auto inkIn = [&](const PixelBox& box) {
        const int left = std::max(box.left, 0), right = std::min(box.right, page.width);
        int ink = 0;
        for (int y = std::max(box.top, 0); y < std::min(box.bottom, page.height); ++y) {
            const std::uint8_t* row = page.Row(y);
            // A box is a few words wide at most: each word counted under a mask of its columns.
            for (int word = left / 64 * 64; word < right; word += 64) {
                std::uint64_t bits = LoadBits(row, static_cast<std::size_t>(word / 8));
                if (left > word)
                    bits &= ~std::uint64_t{0} >> (left - word);
                if (right < word + 64)
                    bits &= ~(~std::uint64_t{0} >> (right - word));
                ink += std::popcount(bits);
            }
        }
        return ink;
    };
    return ClearSmallPieces(LabelBitRuns(page), maxArea, inkIn, [&](const Run& run) {
        ClearBits(page.Row(run.y), run.begin, run.end);
    });
}

}  // namespace vellumark::imaging
