#include "imaging/Orientation.h"

#include <bit>
#include <cstring>
#include <utility>

namespace vellumark::imaging {

Picture Upright(Picture stored, int orientation) {
    if (orientation < 2 || orientation > 8)
        return stored;
    const int w = stored.width, h = stored.height;
    const bool transposed = orientation >= 5;
    const int channels = stored.channels;
    Picture out;
    out.width = transposed ? h : w;
    out.height = transposed ? w : h;
    out.channels = channels;
    out.samples.resize(stored.samples.size());
    for (int y = 0; y < out.height; ++y) {
        std::uint8_t* to = out.Row(y);
        for (int x = 0; x < out.width; ++x) {
            // Where the upright pixel (x, y) is stored.
            int sx = x, sy = y;
            switch (orientation) {
                case 2:
                    sx = w - 1 - x;
                    break;  // mirrored
                case 3:
                    sx = w - 1 - x;
                    sy = h - 1 - y;
                    break;  // upside down
                case 4:
                    sy = h - 1 - y;
                    break;  // flipped
                case 5:
                    sx = y;
                    sy = x;
                    break;  // transposed
                case 6:
                    sx = y;
                    sy = h - 1 - x;
                    break;  // turned a quarter left
                case 7:
                    sx = w - 1 - y;
                    sy = h - 1 - x;
                    break;  // transverse
                case 8:
                    sx = w - 1 - y;
                    sy = x;
                    break;  // turned a quarter right
                default:
                    break;
            }
            std::memcpy(to + channels * x, stored.Row(sy) + channels * sx,
                        static_cast<std::size_t>(channels));
        }
    }
    return out;
}

BitPicture Upright(BitPicture stored, int orientation) {
    if (orientation < 2 || orientation > 8)
        return stored;
    const int w = stored.width, h = stored.height;
    const bool transposed = orientation >= 5;
    BitPicture out(transposed ? h : w, transposed ? w : h);
    const std::size_t bytes = (static_cast<std::size_t>(w) + 7) / 8;
    // Where each stored ink pixel (sx, sy) goes, found a set bit at a time: ink is a small part
    // of a page.
    for (int sy = 0; sy < h; ++sy) {
        const std::uint8_t* row = stored.Row(sy);
        for (std::size_t i = 0; i < bytes; ++i) {
            for (unsigned byte = row[i]; byte != 0; byte &= byte - 1) {
                const int sx = static_cast<int>(8 * i) + 7 - std::countr_zero(byte);
                int x = sx, y = sy;
                switch (orientation) {
                    case 2:
                        x = w - 1 - sx;
                        break;
                    case 3:
                        x = w - 1 - sx;
                        y = h - 1 - sy;
                        break;
                    case 4:
                        y = h - 1 - sy;
                        break;
                    case 5:
                        x = sy;
                        y = sx;
                        break;
                    case 6:
                        x = h - 1 - sy;
                        y = sx;
                        break;
                    case 7:
                        x = h - 1 - sy;
                        y = w - 1 - sx;
                        break;
                    default:  // 8
                        x = sy;
                        y = w - 1 - sx;
                        break;
                }
                out.Row(y)[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return out;
}

}  // namespace vellumark::imaging
