// Turning a picture by a small angle: every dot lands where the turn takes it, wherever it lies
// on the page, paper is white, and a part of the turned page is that part of the whole (to a
// level of grey: positions are stepped from the part's own corner), each pixel the blend of the
// four it turns back to. A bilevel page turned as bits keeps every piece of ink within a pixel
// of where the turn takes it, and a straight line steps a pixel at a time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "imaging/cleanup/Turn.h"

namespace vellumark::imaging {
namespace {

struct Dot {
    int x, y;
};

Picture Paper(int width, int height) {
    return Picture{width, height,
                   std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, 255), 1};
}

// Dots at the page's edges and in between.
std::vector<Dot> Dots(int width, int height) {
    std::vector<Dot> dots;
    for (int y : {0, 15, 16, 47, 48, 90, height - 1})
        for (int x : {0, 15, 16, 31, 32, 101, width - 1})
            dots.push_back({x, y});
    return dots;
}

TEST(TurnTest, EveryDotLandsWhereTheTurnTakesIt) {
    const int width = 150, height = 120;
    Picture page = Paper(width, height);
    const std::vector<Dot> dots = Dots(width, height);
    for (const Dot& dot : dots)
        page.Row(dot.y)[dot.x] = 0;
    for (double degrees : {0.3, -2.5, 7.0}) {
        const Picture turned = Turn(page, degrees);
        const double angle = degrees * std::numbers::pi / 180.0;
        const double c = std::cos(angle), s = std::sin(angle);
        double ink = 0;
        for (const std::uint8_t v : turned.samples)
            ink += 255 - v;
        // The weights of each source pixel add up to about one.
        EXPECT_NEAR(ink / 255, static_cast<double>(dots.size()), 0.1 * dots.size()) << degrees;
        for (const Dot& dot : dots) {
            const double sx = dot.x + 0.5 - width / 2.0, sy = dot.y + 0.5 - height / 2.0;
            const double x = c * sx - s * sy + turned.width / 2.0 - 0.5;
            const double y = s * sx + c * sy + turned.height / 2.0 - 0.5;
            int darkest = 255;
            for (int v = static_cast<int>(std::floor(y)); v <= static_cast<int>(std::ceil(y)); ++v)
                for (int u = static_cast<int>(std::floor(x)); u <= static_cast<int>(std::ceil(x));
                     ++u)
                    if (u >= 0 && v >= 0 && u < turned.width && v < turned.height)
                        darkest = std::min<int>(darkest, turned.Row(v)[u]);
            EXPECT_LT(darkest, 200)
                << "dot at " << dot.x << "," << dot.y << " turned by " << degrees;
        }
    }
}

// Paper one level darker is weighed pixel by pixel, never taken as white at a glance; the turn
// must come out one level darker too, next to ink as well. Beyond the page it is white in both,
// so the lines keep off the edges.
TEST(TurnTest, WhiteAtAGlanceChangesNoPixel) {
    Picture page = Paper(300, 200), darker = Paper(300, 200);
    std::fill(darker.samples.begin(), darker.samples.end(), 254);
    const auto mark = [&](int x, int y) {
        page.Row(y)[x] = 40;
        darker.Row(y)[x] = 39;
    };
    for (int y = 1; y < 199; ++y)
        for (int x = 48; x < 299; x += 48)
            mark(x, y);
    for (int x = 2; x < 299; x += 3)
        for (int y = 48; y < 199; y += 48)
            mark(x, y);
    for (double degrees : {0.3, -4.2, 7.0}) {
        const Picture turned = Turn(page, degrees), expected = Turn(darker, degrees);
        for (std::size_t i = 0; i < turned.samples.size(); ++i) {
            if (expected.samples[i] < 254)
                ASSERT_EQ(turned.samples[i], expected.samples[i] + 1) << i << " by " << degrees;
            else
                ASSERT_GE(turned.samples[i], 254) << i << " by " << degrees;
        }
    }
}

TEST(TurnTest, APartIsThatPartOfTheWholeTurn) {
    Picture page = Paper(300, 200);
    for (const Dot& dot : Dots(300, 200)) {
        for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx)
                page.Row(std::min(dot.y + dy, 199))[std::min(dot.x + dx, 299)] = 40;
    }
    const Picture whole = Turn(page, -4.2);
    const PixelBox part{13, 7, 13 + 250, 7 + 170};
    const Picture cut = TurnPart(page, -4.2, part);
    ASSERT_EQ(cut.width, part.Width());
    for (int y = 0; y < cut.height; ++y)
        for (int x = 0; x < cut.width; ++x)
            ASSERT_NEAR(cut.Row(y)[x], whole.Row(y + part.top)[x + part.left], 1) << x << "," << y;
}

// On a picture of noise, where any slip to a wrong neighbour shows, every pixel of a turn, grey
// or colour, is the blend of the four source pixels around where it turns back to, within the
// rounding of the weights, paper beyond the edges.
TEST(TurnTest, EachPixelBlendsItsFourNeighbours) {
    unsigned seed = 3;
    for (int channels : {1, 3}) {
        Picture page{97, 61, std::vector<std::uint8_t>(97u * 61u * channels), channels};
        for (std::uint8_t& v : page.samples) {
            seed = seed * 1103515245u + 12345u;
            v = static_cast<std::uint8_t>(seed >> 16);
        }
        const auto at = [&](int x, int y, int ch) -> double {
            if (x < 0 || y < 0 || x >= page.width || y >= page.height)
                return 255;
            return page.Row(y)[x * channels + ch];
        };
        for (double degrees : {0.3, -2.5, 7.0, -7.0}) {
            SCOPED_TRACE(::testing::Message() << channels << " channels, " << degrees);
            const Picture turned = Turn(page, degrees);
            const double angle = degrees * std::numbers::pi / 180.0;
            const double c = std::cos(angle), s = std::sin(angle);
            for (int y = 0; y < turned.height; ++y) {
                for (int x = 0; x < turned.width; ++x) {
                    const double dx = x + 0.5 - turned.width / 2.0;
                    const double dy = y + 0.5 - turned.height / 2.0;
                    const double sx = c * dx + s * dy + page.width / 2.0 - 0.5;
                    const double sy = -s * dx + c * dy + page.height / 2.0 - 0.5;
                    const int ix = static_cast<int>(std::floor(sx));
                    const int iy = static_cast<int>(std::floor(sy));
                    const double fx = sx - ix, fy = sy - iy;
                    for (int ch = 0; ch < channels; ++ch) {
                        const double top = at(ix, iy, ch) * (1 - fx) + at(ix + 1, iy, ch) * fx;
                        const double bottom =
                            at(ix, iy + 1, ch) * (1 - fx) + at(ix + 1, iy + 1, ch) * fx;
                        ASSERT_NEAR(turned.Row(y)[x * channels + ch], top * (1 - fy) + bottom * fy,
                                    2.5)
                            << x << "," << y;
                    }
                }
            }
        }
    }
}

bool Ink(const BitPicture& page, long x, long y) {
    if (x < 0 || y < 0 || x >= page.width || y >= page.height)
        return false;
    return (page.Row(static_cast<int>(y))[x / 8] & (0x80 >> (x % 8))) != 0;
}

void SetInk(BitPicture& page, int x, int y) {
    page.Row(y)[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
}

bool InkNear(const BitPicture& page, double x, double y) {
    for (long v = static_cast<long>(std::floor(y)) - 1; v <= static_cast<long>(std::floor(y)) + 1;
         ++v)
        for (long u = static_cast<long>(std::floor(x)) - 1;
             u <= static_cast<long>(std::floor(x)) + 1; ++u)
            if (Ink(page, u, v))
                return true;
    return false;
}

// Strokes, dots and rules on a page whose rows are neither whole bytes nor whole words. None is
// thinner than two pixels: turned, any pixel's nearest may be its neighbour.
BitPicture Strokes(int width, int height) {
    BitPicture page(width, height);
    unsigned seed = 7;
    const auto next = [&seed](int below) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 8) % static_cast<unsigned>(below));
    };
    for (int i = 0; i < 120; ++i) {
        const int w = 2 + next(8), h = 2 + next(11), x = next(width - w), y = next(height - h);
        for (int v = y; v < y + h; ++v)
            for (int u = x; u < x + w; ++u)
                SetInk(page, u, v);
    }
    for (int y = 0; y < height; ++y)
        for (int x : {0, 1, width - 2, width - 1})
            SetInk(page, x, y);
    for (int x = 0; x < width; ++x)
        SetInk(page, x, height / 2), SetInk(page, x, height / 2 + 1);
    return page;
}

TEST(TurnBitsTest, InkLandsWithinAPixelOfWhereTheTurnTakesItAndNoneIsLost) {
    const BitPicture page = Strokes(333, 251);
    for (double degrees : {0.0, 0.3, -2.5, 7.0, -7.0}) {
        const PixelBox canvas = TurnedBounds(page.width, page.height, degrees);
        const double angle = degrees * std::numbers::pi / 180.0;
        const double c = std::cos(angle), s = std::sin(angle);
        const double ox = canvas.Width() / 2.0, oy = canvas.Height() / 2.0;
        const double cx = page.width / 2.0, cy = page.height / 2.0;
        // The whole canvas, and a part off its centre that reaches past it.
        for (const PixelBox& part : {canvas, PixelBox{-20, 31, 150, canvas.bottom + 9}}) {
            SCOPED_TRACE(::testing::Message() << degrees << " degrees, part at " << part.left);
            const BitPicture turned = TurnBits(page, degrees, part);
            ASSERT_EQ(turned.width, part.Width());
            ASSERT_EQ(turned.height, part.Height());
            for (int y = 0; y < turned.height; ++y) {
                for (int x = 0; x < turned.width; ++x) {
                    if (!Ink(turned, x, y))
                        continue;
                    const double dx = part.left + x + 0.5 - ox, dy = part.top + y + 0.5 - oy;
                    ASSERT_TRUE(InkNear(page, c * dx + s * dy + cx, -s * dx + c * dy + cy))
                        << "ink at " << x << "," << y << " has none near it on the page";
                }
                for (std::size_t x = static_cast<std::size_t>(turned.width); x < turned.stride * 8;
                     ++x)
                    ASSERT_EQ(turned.Row(y)[x / 8] & (0x80 >> (x % 8)), 0) << "past the row";
            }
            for (int y = 0; y < page.height; ++y) {
                for (int x = 0; x < page.width; ++x) {
                    if (!Ink(page, x, y))
                        continue;
                    const double sx = x + 0.5 - cx, sy = y + 0.5 - cy;
                    const double tx = c * sx - s * sy + ox - part.left;
                    const double ty = s * sx + c * sy + oy - part.top;
                    if (tx >= 2 && ty >= 2 && tx < part.Width() - 2 && ty < part.Height() - 2) {
                        ASSERT_TRUE(InkNear(turned, tx, ty))
                            << "ink at " << x << "," << y << " lost";
                    }
                }
            }
            if (degrees == 0 && part == canvas) {
                EXPECT_EQ(turned.bits, page.bits);
            }
        }
    }
}

// Turned by shears whose roundings fell together, a column of ink would jump two pixels within
// a few rows every few hundred, which makes upright letters look italic when the page is
// shrunk for a screen.
TEST(TurnBitsTest, ALineStepsAPixelAtATime) {
    BitPicture page(400, 1500);
    for (int y = 0; y < page.height; ++y)
        for (int x = 199; x < 202; ++x)
            SetInk(page, x, y);
    for (int x = 0; x < page.width; ++x)
        SetInk(page, x, 750);
    for (double degrees : {0.3, 1.1, -2.5, 6.0}) {
        SCOPED_TRACE(degrees);
        const double c = std::cos(degrees * std::numbers::pi / 180.0);
        const double s = std::sin(degrees * std::numbers::pi / 180.0);
        const BitPicture turned =
            TurnBits(page, degrees, TurnedBounds(page.width, page.height, degrees));
        int previous = -1, steps = 0;
        for (int y = 0; y < turned.height; ++y) {
            if (std::abs(y - turned.height / 2) < 40) {
                previous = -1;  // the rule crosses here
                continue;
            }
            int left = -1;
            for (int x = 0; x < turned.width && left < 0; ++x)
                if (Ink(turned, x, y))
                    left = x;
            if (left < 0)
                continue;
            // Where the line's left edge crosses the row's middle.
            const double sx = 199 - page.width / 2.0;
            const double sy = (y + 0.5 - turned.height / 2.0 - s * sx) / c;
            ASSERT_NEAR(left + 0.5, c * sx - s * sy + turned.width / 2.0, 1.0) << "row " << y;
            if (previous >= 0) {
                ASSERT_LE(std::abs(left - previous), 1) << "row " << y;
                steps += left != previous;
            }
            previous = left;
        }
        EXPECT_GT(steps, 0);
    }
}

}  // namespace
}  // namespace vellumark::imaging
