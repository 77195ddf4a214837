// The skew of generated pages whose angle is known: text pages turned across the whole range,
// bilevel and grey with blur and noise, with and without a dark border, in one column and in
// two, a listing and a few short lines.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "imaging/cleanup/Skew.h"
#include "tools/ScannedSheet.h"

namespace vellumark::imaging {
namespace {

using tools::SheetOptions;

const tools::BilevelPage& A4Text() {
    static const tools::BilevelPage page = tools::TextPage({});
    return page;
}

TEST(SkewTest, TextPagesAreMeasuredToAHundredthOfADegree) {
    const double angles[] = {-7,  -5.5, -3.2, -1.75, -0.6, -0.25, -0.05, 0, 0.03,
                             0.1, 0.35, 0.8,  1.3,   2.45, 4.1,   6.2,   7};
#ifdef VELLUMARK_TEST_SANITIZED
    constexpr int kEvery = 4;
#else
    constexpr int kEvery = 1;
#endif
    double sum = 0, worst = 0;
    int measured = 0;
    for (int i = 0; i < static_cast<int>(std::size(angles)); i += kEvery) {
        const double angle = angles[i];
        SheetOptions options;
        options.degrees = angle;
        options.grey = i % 2 == 1;
        options.border = i % 3 == 0 ? 40 : 0;
        options.seed = static_cast<unsigned>(i + 1);
        ++measured;
        const SkewEstimate estimate = MeasureSkew(tools::ScanSheet(A4Text(), options), 300);
        EXPECT_TRUE(estimate.confident) << angle;
        if (angle == 0) {
            EXPECT_EQ(estimate.degrees, 0);  // a level page is left exactly as it is
        }
        const double residual = std::abs(estimate.degrees - angle);
        EXPECT_LT(residual, 0.1) << angle << " measured " << estimate.degrees;
        sum += residual;
        worst = std::max(worst, residual);
        std::printf("  %6.2f deg %s: measured %8.4f, residual %.4f\n", angle,
                    options.grey ? "grey   " : "bilevel", estimate.degrees, residual);
    }
    const double mean = sum / measured;
    std::printf("mean residual %.4f deg, worst %.4f deg\n", mean, worst);
    EXPECT_LE(mean, 0.02);
}

// Two columns of different type at different spacing, as in a journal or a dictionary: their
// baselines do not line up, and across the page a slight turn that brings one column's lines
// near the other's would seem as good as the columns' own angle.
TEST(SkewTest, PagesInTwoColumnsAreMeasuredByEachColumnsOwnLines) {
    tools::PageLayout wide;
    wide.width = 1240;
    wide.margin = 120;
    tools::PageLayout dense = wide;
    dense.lineSpacing = 1.25;
    dense.seed = 2;
    const tools::BilevelPage page =
        tools::Spread(tools::TextPage(wide, 300, 12), tools::TextPage(dense, 500, 9), 0);
    for (const double angle : {0.0, -0.6, 1.9, -4.4}) {
        SheetOptions options;
        options.degrees = angle;
        options.grey = angle < 0;
        const SkewEstimate estimate = MeasureSkew(tools::ScanSheet(page, options), 300);
        ASSERT_TRUE(estimate.confident) << angle;
        if (angle == 0) {
            EXPECT_LT(std::abs(estimate.degrees), 0.015);  // left as it is
        }
        EXPECT_LT(std::abs(estimate.degrees - angle), 0.05)
            << angle << " measured " << estimate.degrees;
    }
}

// Pages whose lines are short or close: a program's listing in small monospaced type, indented,
// and a figure's few lines of text under a heading, the rest of the page blank.
TEST(SkewTest, AListingAndAFewShortLinesAreMeasured) {
    const char* code[] = {"for (i = 0; i < count; i++) {",
                          "    if (next(i) > limit)",
                          "        break;",
                          "    total += weight[i] * value(i);",
                          "    seen[i] = 1;",
                          "}",
                          "return total;"};
    std::vector<tools::TextLine> listing;
    for (int line = 0; line < 60; ++line)
        listing.push_back({code[line % std::size(code)], 9});
    tools::PageLayout mono;
    mono.font = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
    mono.lineSpacing = 1.2;
    std::vector<tools::TextLine> figure{{"Figure 2", 12}};
    for (int line = 0; line < 12; ++line)
        figure.push_back({std::string(line % 3 == 0 ? "return B;" : "A := A + 0x10000 - Z"), 11});
    const tools::BilevelPage pages[] = {tools::RenderPage(listing, mono),
                                        tools::RenderPage(figure)};
    for (const tools::BilevelPage& page : pages) {
        for (const double angle : {-4.3, 1.9}) {
            SheetOptions options;
            options.degrees = angle;
            const SkewEstimate estimate = MeasureSkew(tools::ScanSheet(page, options), 300);
            ASSERT_TRUE(estimate.confident) << angle;
            EXPECT_LT(std::abs(estimate.degrees - angle), 0.05)
                << angle << " measured " << estimate.degrees;
        }
    }
}

}  // namespace
}  // namespace vellumark::imaging
