#include "imaging/cleanup/Skew.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "imaging/cleanup/InkMap.h"
#include "imaging/cleanup/TextPieces.h"

namespace vellumark::imaging {
namespace {

struct Point {
    float x, y;
};

double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// Points that lie on lines at `degrees` gather in few bins of y - x * tan(degrees); the sum of
// the squared bins is largest at the lines' own angle. Each point is spread over its three
// nearest bins (a quadratic B-spline), so that the score changes smoothly with the angle and
// hardly depends on where between two bins a line happens to fall.
//
// With `strips` > 1, the page's points are binned in that many upright strips of their own and
// the strips' scores added. Lines of two columns seldom share their baselines, and a slight
// turn that lines up one column's lines with the other's scores higher across the whole page
// than the turn that makes each column's own lines sharp. In strips that reward is gone, at the
// cost of a broader peak.
class Projection {
public:
    Projection(const std::vector<Point>& points, int width, int height, int strips = 1)
        : count_(points.size()),
          offset_(std::ceil(width * std::tan(Radians(kCoveredDegrees))) + 2),
          binCount_(static_cast<std::size_t>(height + 2 * offset_ + 4)),
          strips_(static_cast<std::size_t>(std::max(strips, 1))),
          bins_(strips_ * kStreams * binCount_, 0.0) {
        firstBins_.reserve(points.size());
        const float perStrip = static_cast<float>(std::max(width, 1)) / static_cast<float>(strips_);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const auto strip = std::min(
                strips_ - 1, static_cast<std::size_t>(std::max(points[i].x, 0.0f) / perStrip));
            firstBins_.push_back((strip * kStreams + i % kStreams) * binCount_);
        }
        // Whole chunks: the padding's places are worked out and never added.
        const std::size_t padded = (points.size() + kChunk - 1) / kChunk * kChunk;
        xs_.assign(padded, 0.0f);
        ys_.assign(padded, 0.0f);
        for (std::size_t i = 0; i < points.size(); ++i) {
            xs_[i] = points[i].x;
            ys_[i] = points[i].y;
        }
        for (const Point& point : points) {
            low_ = {std::min(low_.x, point.x), std::min(low_.y, point.y)};
            high_ = {std::max(high_.x, point.x), std::max(high_.y, point.y)};
        }
    }

    // The bins are all 0 between calls: each call clears those it filled as it sums them.
    double Score(double degrees) {
        if (count_ == 0)
            return 0;
        // Around a rough angle found on a map a few pixels wide, the search can try lines far
        // steeper than any it measures, whose points would fall outside the bins.
        const double slope =
            std::tan(Radians(std::clamp(degrees, -kCoveredDegrees, kCoveredDegrees)));
        // Where each point falls and its three weights are worked out for a whole chunk of
        // points in one loop the compiler does several points a step (with a fixed count, no
        // points are left over to do one at a time); then the weights are added into the bins.
        // Neighbouring points lie on one line and fall in the same bins: each of a few streams of
        // points adds into bins of its own, so that one point's sums need not wait for the last.
        std::array<std::int32_t, kChunk> places;
        std::array<double, kChunk> below, on, above;
        const std::size_t count = count_;
        for (std::size_t first = 0; first < count; first += kChunk) {
            const float* xs = xs_.data() + first;
            const float* ys = ys_.data() + first;
            for (std::size_t i = 0; i < kChunk; ++i) {
                const double at = ys[i] - xs[i] * slope + offset_ + 0.5;
                const auto bin = static_cast<std::int32_t>(at);
                const double t = at - static_cast<double>(bin) - 0.5;  // -0.5 to 0.5 from centre
                places[i] = bin;
                below[i] = 0.5 * (0.5 - t) * (0.5 - t);
                on[i] = 0.75 - t * t;
                above[i] = 0.5 * (0.5 + t) * (0.5 + t);
            }
            const std::size_t n = std::min(kChunk, count - first);
            for (std::size_t i = 0; i < n; ++i) {
                double* bins = bins_.data() + firstBins_[first + i] + places[i];
                bins[-1] += below[i];
                bins[0] += on[i];
                bins[1] += above[i];
            }
        }
        // Only the bins between those of the points' extreme corners can hold anything: a text
        // block leaves most of a page's bins empty, and clearing and summing them all took as
        // long as adding the points. Rounding is monotonic, so a corner's bin bounds its
        // points'; two bins more either way are for a point's spread and to spare.
        const auto at = [&](float x, float y) { return y - x * slope + offset_ + 0.5; };
        const double lowest = slope >= 0 ? at(high_.x, low_.y) : at(low_.x, low_.y);
        const double highest = slope >= 0 ? at(low_.x, high_.y) : at(high_.x, high_.y);
        const std::size_t from = static_cast<std::size_t>(std::max(lowest, 2.0)) - 2;
        const std::size_t to = std::min(static_cast<std::size_t>(highest) + 2, binCount_ - 1);
        double score = 0;
        for (std::size_t strip = 0; strip < strips_; ++strip) {
            double* stripBins = bins_.data() + strip * kStreams * binCount_;
            for (std::size_t b = from; b <= to; ++b) {
                double sum = 0;
                for (std::size_t stream = 0; stream < kStreams; ++stream) {
                    sum += stripBins[stream * binCount_ + b];
                    stripBins[stream * binCount_ + b] = 0;
                }
                score += sum * sum;
            }
        }
        return score;
    }

private:
    // The steepest lines whose points the bins hold: a degree past the steepest measured.
    static constexpr double kCoveredDegrees = kMaxSkewDegrees + 1;
    static constexpr std::size_t kStreams = 4;
    static constexpr std::size_t kChunk = 256;
    std::size_t count_;
    double offset_;
    std::size_t binCount_;
    std::size_t strips_;
    std::vector<std::size_t> firstBins_;  // each point's first bin: its strip's, its stream's
    std::vector<float> xs_, ys_;          // the points' places, in whole chunks
    std::vector<double> bins_;
    Point low_{std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
    Point high_{std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest()};
};

// The peak of the parabola through three equally spaced scores, as a step from the middle one.
double ParabolaPeak(double before, double middle, double after) {
    const double curve = before - 2 * middle + after;
    if (curve >= 0)
        return 0;
    return std::clamp(0.5 * (before - after) / curve, -0.5, 0.5);
}

struct Peak {
    double degrees = 0;
    double score = 0;
    std::vector<double> scores;  // every angle tried, in order
};

Peak Search(Projection& projection, double from, double to, double step) {
    Peak peak;
    const int steps = static_cast<int>(std::lround((to - from) / step));
    int best = 0;
    for (int i = 0; i <= steps; ++i) {
        peak.scores.push_back(projection.Score(from + i * step));
        if (peak.scores[i] > peak.scores[best])
            best = i;
    }
    peak.score = peak.scores[best];
    double shift = 0;
    if (best > 0 && best < steps)
        shift = ParabolaPeak(peak.scores[best - 1], peak.scores[best], peak.scores[best + 1]);
    peak.degrees = from + (best + shift) * step;
    return peak;
}

// Search's peak, found by trying every `stride`th angle and then the angles around the best of
// those: a line's peak is several steps wide, so the sparse pass cannot step over it, and it
// costs a fraction of trying them all. The scores kept are the sparse pass's.
Peak SparseSearch(Projection& projection, double from, double to, double step, int stride) {
    const Peak sparse = Search(projection, from, to, step * stride);
    const double around = std::round((sparse.degrees - from) / step) * step + from;
    Peak peak = Search(projection, std::max(from, around - stride * step),
                       std::min(to, around + stride * step), step);
    peak.scores = sparse.scores;
    return peak;
}

// The angle of the highest score between `from` and `to`, where the score has one peak: each
// step narrows the range to 0.618 of it, and ten leave under a hundredth of a fine step.
constexpr int kGoldenSteps = 10;
double GoldenPeak(Projection& projection, double from, double to) {
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double a = to - ratio * (to - from), b = from + ratio * (to - from);
    double scoreA = projection.Score(a), scoreB = projection.Score(b);
    for (int i = 0; i < kGoldenSteps; ++i) {
        if (scoreA >= scoreB) {
            to = b;
            b = a;
            scoreB = scoreA;
            a = to - ratio * (to - from);
            scoreA = projection.Score(a);
        } else {
            from = a;
            a = b;
            scoreA = scoreB;
            b = from + ratio * (to - from);
            scoreB = projection.Score(b);
        }
    }
    return (from + to) / 2;
}

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Lower edges of the ink inside the text pieces, in page pixels: where the baselines are. At
// most `limit` of them, evenly taken. Only the pieces' boxes are looked at: a small part of a
// page.
std::vector<Point> LowerEdges(const GreyPicture& page, const InkMap& map,
                              const std::vector<InkPiece>& text, std::uint8_t threshold,
                              std::size_t limit) {
    std::vector<Point> points;
    std::size_t count = 0;  // of `points`, those found
    // Edges are marked for a stretch of a row without a branch per pixel, which the compiler
    // does many pixels a step, then gathered from the few marked eight-pixel words.
    std::vector<std::uint8_t> edge;
    for (const InkPiece& piece : text) {
        const int left = piece.box.left * map.factor;
        const int right = std::min(piece.box.right * map.factor, page.width);
        const int bottom = std::min(piece.box.bottom * map.factor, page.height - 1);
        if (right <= left)
            continue;
        const auto width = static_cast<std::size_t>(right - left);
        edge.assign((width + 7) / 8 * 8, 0);
        for (int y = piece.box.top * map.factor; y < bottom; ++y) {
            const std::uint8_t* row =
                page.pixels.data() + static_cast<std::size_t>(y) * page.width + left;
            const std::uint8_t* below = row + page.width;
            for (std::size_t i = 0; i < width; ++i)
                edge[i] = static_cast<std::uint8_t>((row[i] < threshold) & (below[i] >= threshold));
            for (std::size_t i = 0; i < width; i += 8) {
                std::uint64_t eight;
                std::memcpy(&eight, edge.data() + i, sizeof eight);
                if (eight == 0)
                    continue;
                // Each pixel of the word is written and only the edges kept (the marks past
                // the stretch are 0): along a line of letters edges come and go unpredictably,
                // and a branch for each took a third of this measure's own time.
                if (points.size() < count + 8)
                    points.resize(std::max(2 * points.size(), count + 8));
                for (std::size_t k = i; k < i + 8; ++k) {
                    points[count] = {static_cast<float>(left + static_cast<int>(k)),
                                     static_cast<float>(y)};
                    count += edge[k];
                }
            }
        }
    }
    points.resize(count);
    if (points.size() > limit) {
        std::vector<Point> taken;
        taken.reserve(limit);
        const double stride = static_cast<double>(points.size()) / static_cast<double>(limit);
        for (std::size_t i = 0; i < limit; ++i)
            taken.push_back(points[static_cast<std::size_t>(static_cast<double>(i) * stride)]);
        points.swap(taken);
    }
    return points;
}

// How much sharper the lines stand out at the best angle than at a typical one, below which a
// page is taken to have no lines of text.
constexpr double kConfidentPeak = 1.6;
// Enough edge points for a hundredth of a degree; more only cost time.
constexpr std::size_t kFinePoints = 12000;
// Every fourth coarse angle first: a peak is wider than that.
constexpr int kCoarseStride = 4;
// One point in this many looks for the fine peak first, on pages with points enough that
// those still place it (a spread's half or a sparse page has all of its own look).
constexpr std::size_t kThinning = 4;
constexpr std::size_t kThinnedFrom = 4000;
// The strips angles are found in: one for each column of a page in two.
constexpr int kStrips = 2;

// The lines' angle found roughly: from the pieces' lower and upper middles, in steps that move
// a point by about one bin across the map. None where no lines stand out.
struct RoughAngle {
    double degrees = 0;
    double step = 0;
};
std::optional<RoughAngle> FindRoughAngle(const InkMap& map, const std::vector<InkPiece>& text) {
    if (text.size() < kMinTextPieces)
        return std::nullopt;
    std::vector<Point> middles;
    for (const InkPiece& piece : text) {
        const float x = 0.5f * static_cast<float>(piece.box.left + piece.box.right);
        middles.push_back({x, static_cast<float>(piece.box.bottom)});
        middles.push_back({x, static_cast<float>(piece.box.top)});
    }
    Projection coarse(middles, map.width, map.height, kStrips);
    const double step = std::atan(1.0 / map.width) * 180.0 / std::numbers::pi;
    const Peak rough = SparseSearch(coarse, -kMaxSkewDegrees, kMaxSkewDegrees, step, kCoarseStride);
    if (rough.score < kConfidentPeak * Median(rough.scores))
        return std::nullopt;
    return RoughAngle{rough.degrees, step};
}

}  // namespace

SkewEstimate MeasureSkew(const GreyPicture& page, double dpi) {
    SkewEstimate estimate;
    if (page.width < 16 || page.height < 16)
        return estimate;
    const std::uint8_t threshold = InkThreshold(page);
    // The pieces are found at half the analysis resolution, where letters run together into
    // words: as good for a first angle and a tenth of the pieces. Where lines are close and
    // their words a jumble of heights (a program's listing), or short (a poem's), they stand out
    // too little there, and the letters at the analysis resolution are looked at instead.
    InkMap map;
    std::vector<InkPiece> text;
    std::optional<RoughAngle> rough;
    for (const int factor : {2 * AnalysisFactor(dpi), AnalysisFactor(dpi)}) {
        map = ReduceToInk(page, factor, threshold);
        text = TextPieces(FindInkPieces(map), dpi / map.factor);
        rough = FindRoughAngle(map, text);
        // Too few pieces for lines (a photograph, a drawing) are not looked at again.
        if (rough || text.size() < kMinTextPieces)
            break;
    }
    if (!rough)
        return estimate;
    const double coarseStep = rough->step;

    // Fine: the ink's lower edges at the page's own resolution, around the coarse angle, in
    // strips; then the peak itself across the whole page, whose lines' full length places it
    // closest, within two steps of the strips' (a column's own peak is sharp there, and the
    // other column's pull too broad to move it). The peak is sharp where lines are straight: a
    // parabola would miss it.
    // On a page with points enough, the strips' peak is looked for with every fourth point
    // first, at a quarter of the cost: enough to place it within a step or two, where all of
    // them then find it.
    const std::vector<Point> edges = LowerEdges(page, map, text, threshold, kFinePoints);
    const double fineStep = std::atan(0.25 / page.width) * 180.0 / std::numbers::pi;
    const double from = rough->degrees - 2 * coarseStep, to = rough->degrees + 2 * coarseStep;
    Projection inStrips(edges, page.width, page.height, kStrips);
    Peak sharp;
    if (edges.size() >= kThinnedFrom) {
        std::vector<Point> fewer;
        for (std::size_t i = 0; i < edges.size(); i += kThinning)
            fewer.push_back(edges[i]);
        Projection fewerInStrips(fewer, page.width, page.height, kStrips);
        const Peak near = SparseSearch(fewerInStrips, from, to, fineStep, 2);
        sharp =
            Search(inStrips, near.degrees - 2 * fineStep, near.degrees + 2 * fineStep, fineStep);
    } else {
        sharp = SparseSearch(inStrips, from, to, fineStep, 2);
    }
    Projection whole(edges, page.width, page.height);
    double best = GoldenPeak(whole, sharp.degrees - 2 * fineStep, sharp.degrees + 2 * fineStep);
    // Less than an eighth of a pixel across the page is level.
    if (std::abs(best) < fineStep / 2)
        best = 0;
    estimate.degrees = std::clamp(best, -kMaxSkewDegrees, kMaxSkewDegrees);
    estimate.confident = true;
    return estimate;
}

}  // namespace vellumark::imaging
