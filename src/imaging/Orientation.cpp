#include "imaging/Orientation.h"

#include <cstring>

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

}  // namespace vellumark::imaging
