#include <gtest/gtest.h>

#include <random>

#include "common/Error.h"
#include "imaging/Resampler.h"

namespace vellumark::imaging {
namespace {

Picture Resample(const std::vector<std::vector<std::uint8_t>>& rows, int width, int height,
                 int channels = 1) {
    Resampler r(static_cast<int>(rows[0].size()) / channels, static_cast<int>(rows.size()), width,
                height, channels);
    for (const auto& row : rows)
        r.AddRow(row.data());
    return r.Finish();
}

TEST(ResamplerTest, ShrinkingAveragesInsteadOfDroppingPixels) {
    // One-pixel black and white stripes halved: an even grey, where point sampling would keep
    // only one of the two colours.
    std::vector<std::uint8_t> row(400);
    for (std::size_t x = 0; x < row.size(); ++x)
        row[x] = x % 2 ? 255 : 0;
    const Picture p = Resample(std::vector(6, row), 200, 3);
    ASSERT_EQ(p.channels, 1);  // grey stays one channel
    ASSERT_EQ(p.samples.size(), 200u * 3);
    for (int x = 0; x < 200; ++x)
        EXPECT_NEAR(p.Row(1)[x], 127.5, 0.6) << x;
    // A non-integer factor keeps the overall ink share.
    const Picture q = Resample(std::vector(7, row), 123, 5);
    double total = 0;
    for (int x = 0; x < 123; ++x)
        total += q.Row(2)[x];
    EXPECT_NEAR(total / 123, 127.5, 2);
}

TEST(ResamplerTest, FlatAreasStayExactAtAnyScale) {
    for (auto [w, h] :
         {std::pair{33, 17}, std::pair{100, 100}, std::pair{250, 311}, std::pair{1, 1}}) {
        const std::vector<std::uint8_t> row(100 * 3, 0);
        std::vector<std::vector<std::uint8_t>> rows(100, row);
        for (auto& r : rows)
            for (std::size_t i = 0; i < r.size(); i += 3)
                r[i] = 10, r[i + 1] = 128, r[i + 2] = 251;
        const Picture p = Resample(rows, w, h, 3);
        ASSERT_EQ(p.width, w);
        ASSERT_EQ(p.height, h);
        for (std::size_t i = 0; i < p.samples.size(); i += 3) {
            ASSERT_EQ(p.samples[i], 10);
            ASSERT_EQ(p.samples[i + 1], 128);
            ASSERT_EQ(p.samples[i + 2], 251);
        }
    }
}

TEST(ResamplerTest, EnlargingBlendsBetweenNeighbours) {
    const Picture p = Resample({{0, 255}}, 8, 1);
    EXPECT_EQ(p.Row(0)[0], 0);
    EXPECT_EQ(p.Row(0)[7], 255);
    for (int x = 1; x < 8; ++x)
        EXPECT_GE(p.Row(0)[x], p.Row(0)[x - 1]);
    EXPECT_GT(p.Row(0)[4], 0);
    EXPECT_LT(p.Row(0)[3], 255);
}

TEST(ResamplerTest, GrowingManyTimesKeepsOnlyAFewRows) {
    // One source row made 5000 rows high: each output row blends held source rows, and the
    // result is the row repeated.
    const Picture tall = Resample({{0, 255, 90}}, 3, 5000);
    for (int y = 0; y < tall.height; y += 997) {
        EXPECT_EQ(tall.Row(y)[0], 0);
        EXPECT_EQ(tall.Row(y)[1], 255);
        EXPECT_EQ(tall.Row(y)[2], 90);
    }
    const Picture column = Resample({{0}, {255}}, 1, 8);
    EXPECT_EQ(column.Row(0)[0], 0);
    EXPECT_EQ(column.Row(7)[0], 255);
    for (int y = 1; y < 8; ++y)
        EXPECT_GE(column.Row(y)[0], column.Row(y - 1)[0]);
    EXPECT_GT(column.Row(4)[0], 0);
    EXPECT_LT(column.Row(3)[0], 255);
}

TEST(ResamplerTest, PackedBitsGiveTheSameResultAsBytes) {
    std::mt19937 random(7);
    // Halving (the last two) takes a path of its own; sparse ink there passes over paper.
    const struct {
        int sw, sh, w, h;
    } sizes[] = {
        {37, 23, 11, 9}, {37, 23, 37, 37}, {37, 23, 80, 100}, {74, 46, 37, 23}, {150, 40, 75, 20}};
    for (auto [sw, sh, w, h] : sizes) {
        for (bool oneIsBlack : {true, false}) {
            Resampler bits(sw, sh, w, h, 1), bytes(sw, sh, w, h, 1);
            const bool sparse = sw > 100;
            const std::uint8_t paper = oneIsBlack ? 0x00 : 0xFF;
            // One row buffer, refilled for each row, as a reader's scanline is.
            std::vector<std::uint8_t> packed((sw + 7) / 8 + 8), expanded(sw);
            for (int y = 0; y < sh; ++y) {
                for (auto& b : packed)
                    b = sparse && random() % 5 != 0 ? paper : static_cast<std::uint8_t>(random());
                for (int x = 0; x < sw; ++x) {
                    const bool one = (packed[x / 8] >> (7 - x % 8)) & 1;
                    expanded[x] = one == oneIsBlack ? 0 : 255;
                }
                bits.AddBitsRow(packed.data(), oneIsBlack);
                bytes.AddRow(expanded.data());
            }
            const Picture a = bits.Finish(), b = bytes.Finish();
            for (std::size_t i = 0; i < a.samples.size(); ++i)
                ASSERT_NEAR(a.samples[i], b.samples[i], 1) << i;
        }
    }
}

// Text pages are mostly paper, which the bits path passes over in long runs: single dots
// anywhere in a row, first and last pixel included, must still show, and nothing else may.
TEST(ResamplerTest, LoneInkDotsAmongPaperAreKept) {
    const int sw = 2483, sh = 40, w = 795, h = 13;
    const std::vector<std::pair<int, int>> dots = {{0, 0},   {sw - 1, 0},  {1234, 7}, {64, 20},
                                                   {65, 20}, {sw - 9, 33}, {800, 39}};
    for (bool oneIsBlack : {true, false}) {
        Resampler bits(sw, sh, w, h, 1), bytes(sw, sh, w, h, 1);
        for (int y = 0; y < sh; ++y) {
            std::vector<std::uint8_t> packed((sw + 7) / 8, oneIsBlack ? 0x00 : 0xFF);
            std::vector<std::uint8_t> expanded(sw, 255);
            for (auto [x, dy] : dots) {
                if (dy != y)
                    continue;
                packed[x / 8] ^= static_cast<std::uint8_t>(0x80 >> (x % 8));
                expanded[x] = 0;
            }
            bits.AddBitsRow(packed.data(), oneIsBlack);
            bytes.AddRow(expanded.data());
        }
        const Picture a = bits.Finish(), b = bytes.Finish();
        int marked = 0;
        for (std::size_t i = 0; i < a.samples.size(); ++i) {
            ASSERT_NEAR(a.samples[i], b.samples[i], 1) << i;
            marked += a.samples[i] < 255;
        }
        // Each dot darkens one to four output pixels, of one channel.
        EXPECT_EQ(a.channels, 1);
        EXPECT_GE(marked, 6) << oneIsBlack;  // the two neighbours may share a pixel
        EXPECT_LE(marked, 4 * static_cast<int>(dots.size())) << oneIsBlack;
    }
}

TEST(ResamplerTest, MissingRowsAreAnErrorNotAPartialPicture) {
    Resampler r(4, 4, 2, 2, 1);
    const std::uint8_t row[4] = {};
    r.AddRow(row);
    EXPECT_THROW(r.Finish(), Error);
}

}  // namespace
}  // namespace vellumark::imaging
