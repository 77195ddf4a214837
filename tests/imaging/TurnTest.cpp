// Turning a picture by a small angle: every dot lands where the turn takes it, wherever it lies
// on the page, paper is white, and a part of the turned page is that part of the whole (to a
// level of grey: positions are stepped from the part's own corner).

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

}  // namespace
}  // namespace vellumark::imaging
