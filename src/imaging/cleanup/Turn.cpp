#include "imaging/cleanup/Turn.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>

#include "imaging/Orientation.h"

namespace vellumark::imaging {
namespace {

struct Canvas {
    int width = 0, height = 0;
};

// Pixels whose four neighbours lie in source rows `r0` and `r0 + stride`, at columns
// `k` and `k + 1` for the k-th: within a run the turn keeps to one pair of rows and steps one
// column a pixel, so the loop reads rows in order and holds no test.
template <int Channels>
void BlendRun(const std::uint8_t* __restrict r0, std::size_t stride, std::uint8_t* __restrict out,
              int count, int ex, int stepEx, int ey, int stepEy) {
    const std::uint8_t* __restrict r1 = r0 + stride;
    for (int k = 0; k < count; ++k, ex += stepEx, ey += stepEy) {
        const int wx = ex >> 8, wy = ey >> 8;
        for (int ch = 0; ch < Channels; ++ch) {
            const int i = k * Channels + ch;
            const int top = r0[i] * (256 - wx) + r0[i + Channels] * wx;
            const int bottom = r1[i] * (256 - wx) + r1[i + Channels] * wx;
            out[i] = static_cast<std::uint8_t>((top * (256 - wy) + bottom * wy + 32768) >> 16);
        }
    }
}

// Each output pixel's centre turned back onto the source, weighted from its four neighbours. The
// output is the `part` of the turned canvas. Positions step along a row in fixed point (16 bits
// of fraction: a row of 10,000 pixels drifts by under a tenth of a pixel), and the weights are
// eighths of a byte. Along a row, runs that keep to one pair of source rows and step a column a
// pixel (tens of pixels at a few degrees) are blended without a test each, so that a page turns
// in a few milliseconds.
template <int Channels>
void TurnPixels(const std::uint8_t* source, int width, int height, std::uint8_t* out, Canvas canvas,
                const PixelBox& part, double degrees) {
    const double angle = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    const double cx = width / 2.0, cy = height / 2.0;
    const double ox = canvas.width / 2.0, oy = canvas.height / 2.0;
    constexpr double kOne = 65536.0;
    const std::int64_t stepX = std::llround(c * kOne), stepY = std::llround(-s * kOne);
    const std::size_t stride = static_cast<std::size_t>(width) * Channels;
    const auto sample = [&](int x, int y, int channel) -> int {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return 255;
        return source[static_cast<std::size_t>(y) * stride +
                      static_cast<std::size_t>(x) * Channels + channel];
    };
    for (int y = part.top; y < part.bottom; ++y) {
        const double dy = y + 0.5 - oy;
        const double dx = part.left + 0.5 - ox;
        std::int64_t fx = std::llround((c * dx + s * dy + cx - 0.5) * kOne);
        std::int64_t fy = std::llround((-s * dx + c * dy + cy - 0.5) * kOne);
        std::uint8_t* row = out + static_cast<std::size_t>(y - part.top) * part.Width() * Channels;
        for (int x = 0; x < part.Width();) {
            const int ix = static_cast<int>(fx >> 16), iy = static_cast<int>(fy >> 16);
            std::uint8_t* pixel = row + static_cast<std::size_t>(x) * Channels;
            if (ix >= 0 && iy >= 0 && ix + 1 < width && iy + 1 < height) {
                // The run ends where the row pair changes, where a column is skipped or kept
                // (c < 1), or at the source's last column.
                const std::int64_t ex = fx - (std::int64_t{ix} << 16);
                const std::int64_t ey = fy - (std::int64_t{iy} << 16);
                const std::int64_t slip = stepX - 65536;
                std::int64_t count = std::min<std::int64_t>(part.Width() - x, width - 1 - ix);
                if (stepY < 0)
                    count = std::min(count, ey / -stepY + 1);
                else if (stepY > 0)
                    count = std::min(count, (65535 - ey) / stepY + 1);
                if (slip < 0)
                    count = std::min(count, ex / -slip + 1);
                else if (slip > 0)
                    count = std::min(count, (65535 - ex) / slip + 1);
                const std::uint8_t* p = source + static_cast<std::size_t>(iy) * stride +
                                        static_cast<std::size_t>(ix) * Channels;
                BlendRun<Channels>(p, stride, pixel, static_cast<int>(count), static_cast<int>(ex),
                                   static_cast<int>(slip), static_cast<int>(ey),
                                   static_cast<int>(stepY));
                x += static_cast<int>(count);
                fx += stepX * count;
                fy += stepY * count;
                continue;
            }
            const int wx = static_cast<int>((fx >> 8) & 255),
                      wy = static_cast<int>((fy >> 8) & 255);
            for (int ch = 0; ch < Channels; ++ch) {
                const int top =
                    sample(ix, iy, ch) * 256 + (sample(ix + 1, iy, ch) - sample(ix, iy, ch)) * wx;
                const int bottom = sample(ix, iy + 1, ch) * 256 +
                                   (sample(ix + 1, iy + 1, ch) - sample(ix, iy + 1, ch)) * wx;
                pixel[ch] =
                    static_cast<std::uint8_t>((top * 256 + (bottom - top) * wy + 32768) >> 16);
            }
            ++x;
            fx += stepX;
            fy += stepY;
        }
    }
}

Canvas TurnedCanvas(int width, int height, double degrees) {
    const double angle = std::abs(degrees) * std::numbers::pi / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    // Rounded so that a fraction of a pixel of paper is not worth a column.
    return {static_cast<int>(std::ceil(width * c + height * s - 0.01)),
            static_cast<int>(std::ceil(width * s + height * c - 0.01))};
}

template <int Channels>
void CutPixels(const std::uint8_t* source, int width, int height, std::uint8_t* out,
               const PixelBox& box) {
    for (int y = box.top; y < box.bottom; ++y) {
        std::uint8_t* row = out + static_cast<std::size_t>(y - box.top) * box.Width() * Channels;
        if (y < 0 || y >= height)
            continue;
        const int from = std::max(box.left, 0), to = std::min(box.right, width);
        if (from < to) {
            std::copy_n(source + (static_cast<std::size_t>(y) * width + from) * Channels,
                        static_cast<std::size_t>(to - from) * Channels,
                        row + static_cast<std::size_t>(from - box.left) * Channels);
        }
    }
}

}  // namespace

PixelBox TurnedBounds(int width, int height, double degrees) {
    const Canvas canvas = TurnedCanvas(width, height, degrees);
    return {0, 0, canvas.width, canvas.height};
}

GreyPicture TurnQuarters(GreyPicture page, int quarters) {
    Picture turned = Upright(Picture{page.width, page.height, std::move(page.pixels), 1},
                             OrientationOfQuarters(quarters));
    return {turned.width, turned.height, std::move(turned.samples)};
}

Picture TurnQuarters(Picture page, int quarters) {
    return Upright(std::move(page), OrientationOfQuarters(quarters));
}

GreyPicture Turn(const GreyPicture& page, double degrees, bool bilevel) {
    const Canvas canvas = TurnedCanvas(page.width, page.height, degrees);
    GreyPicture out{
        canvas.width, canvas.height,
        std::vector<std::uint8_t>(static_cast<std::size_t>(canvas.width) * canvas.height)};
    TurnPixels<1>(page.pixels.data(), page.width, page.height, out.pixels.data(), canvas,
                  {0, 0, canvas.width, canvas.height}, degrees);
    if (bilevel) {
        for (std::uint8_t& v : out.pixels)
            v = v < 128 ? 0 : 255;
    }
    return out;
}

Picture Turn(const Picture& page, double degrees) {
    const Canvas canvas = TurnedCanvas(page.width, page.height, degrees);
    return TurnPart(page, degrees, {0, 0, canvas.width, canvas.height});
}

Picture TurnPart(const Picture& page, double degrees, const PixelBox& part) {
    const Canvas canvas = TurnedCanvas(page.width, page.height, degrees);
    Picture out{part.Width(), part.Height(),
                std::vector<std::uint8_t>(static_cast<std::size_t>(part.Width()) * part.Height() *
                                          page.channels),
                page.channels};
    if (page.channels == 1)
        TurnPixels<1>(page.samples.data(), page.width, page.height, out.samples.data(), canvas,
                      part, degrees);
    else
        TurnPixels<3>(page.samples.data(), page.width, page.height, out.samples.data(), canvas,
                      part, degrees);
    return out;
}

GreyPicture Shrink(const GreyPicture& page, int factor) {
    factor = std::max(factor, 1);
    GreyPicture out{(page.width + factor - 1) / factor, (page.height + factor - 1) / factor, {}};
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(out.width), 0);
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(out.width), 0);
    out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < page.height; ++y) {
        const std::uint8_t* row = page.pixels.data() + static_cast<std::size_t>(y) * page.width;
        for (int x = 0; x < page.width; ++x) {
            sums[x / factor] += row[x];
            ++counts[x / factor];
        }
        if ((y + 1) % factor == 0 || y + 1 == page.height) {
            std::uint8_t* outRow =
                out.pixels.data() + static_cast<std::size_t>(y / factor) * out.width;
            for (int x = 0; x < out.width; ++x) {
                outRow[x] = static_cast<std::uint8_t>((sums[x] + counts[x] / 2) / counts[x]);
                sums[x] = counts[x] = 0;
            }
        }
    }
    return out;
}

namespace {

template <int Channels>
void HalvePixels(const Picture& page, Picture& out) {
    for (int y = 0; y < out.height; ++y) {
        const std::uint8_t* top = page.Row(2 * y);
        const std::uint8_t* bottom = page.Row(2 * y + 1);
        std::uint8_t* row = out.Row(y);
        for (int x = 0; x < out.width; ++x) {
            for (int c = 0; c < Channels; ++c) {
                const int at = 2 * x * Channels + c;
                row[x * Channels + c] = static_cast<std::uint8_t>(
                    (top[at] + top[at + Channels] + bottom[at] + bottom[at + Channels] + 2) / 4);
            }
        }
    }
}

}  // namespace

Picture Halved(const Picture& page) {
    Picture out{page.width / 2, page.height / 2, {}, page.channels};
    out.samples.resize(static_cast<std::size_t>(out.width) * out.height * out.channels);
    if (page.channels == 1)
        HalvePixels<1>(page, out);
    else
        HalvePixels<3>(page, out);
    return out;
}

GreyPicture Cut(const GreyPicture& page, const PixelBox& box) {
    GreyPicture out{
        box.Width(), box.Height(),
        std::vector<std::uint8_t>(static_cast<std::size_t>(box.Width()) * box.Height(), 255)};
    CutPixels<1>(page.pixels.data(), page.width, page.height, out.pixels.data(), box);
    return out;
}

Picture Cut(const Picture& page, const PixelBox& box) {
    Picture out{box.Width(), box.Height(),
                std::vector<std::uint8_t>(
                    static_cast<std::size_t>(box.Width()) * box.Height() * page.channels, 255),
                page.channels};
    if (page.channels == 1)
        CutPixels<1>(page.samples.data(), page.width, page.height, out.samples.data(), box);
    else
        CutPixels<3>(page.samples.data(), page.width, page.height, out.samples.data(), box);
    return out;
}

}  // namespace vellumark::imaging
