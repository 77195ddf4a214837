#include "imaging/Orientation.h"

#include <algorithm>
#include <bit>

namespace vellumark::imaging {
namespace {

template <int Channels>
void Place(const Picture& stored, Picture& out, int orientation) {
    for (int y = 0; y < stored.height; ++y) {
        const std::uint8_t* from = stored.Row(y);
        for (int x = 0; x < stored.width; ++x, from += Channels) {
            const auto [ux, uy] = UprightPosition(orientation, stored.width, stored.height, x, y);
            std::copy_n(from, Channels, out.Row(uy) + Channels * ux);
        }
    }
}

}  // namespace

int OrientationOfQuarters(int quarters) {
    static constexpr int kOrientation[] = {1, 6, 3, 8};
    return kOrientation[(quarters % 4 + 4) % 4];
}

Picture Upright(Picture stored, int orientation) {
    if (orientation < 2 || orientation > 8)
        return stored;
    const bool transposed = orientation >= 5;
    Picture out;
    out.width = transposed ? stored.height : stored.width;
    out.height = transposed ? stored.width : stored.height;
    out.channels = stored.channels;
    out.samples.resize(stored.samples.size());
    if (stored.channels == 1)
        Place<1>(stored, out, orientation);
    else
        Place<3>(stored, out, orientation);
    return out;
}

BitPicture Upright(BitPicture stored, int orientation) {
    if (orientation < 2 || orientation > 8)
        return stored;
    const int w = stored.width, h = stored.height;
    const bool transposed = orientation >= 5;
    BitPicture out(transposed ? h : w, transposed ? w : h);
    const std::size_t bytes = (static_cast<std::size_t>(w) + 7) / 8;
    // Ink is a small part of a page: only its pixels are moved, found a set bit at a time.
    for (int sy = 0; sy < h; ++sy) {
        const std::uint8_t* row = stored.Row(sy);
        for (std::size_t i = 0; i < bytes; ++i) {
            for (unsigned byte = row[i]; byte != 0; byte &= byte - 1) {
                const int sx = static_cast<int>(8 * i) + 7 - std::countr_zero(byte);
                const auto [x, y] = UprightPosition(orientation, w, h, sx, sy);
                out.Row(y)[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return out;
}

}  // namespace vellumark::imaging
