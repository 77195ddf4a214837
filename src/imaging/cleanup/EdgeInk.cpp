#include "imaging/cleanup/EdgeInk.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace vellumark::imaging {
namespace {

// Darker than this is a border's or a shadow's, not paper's; lighter than the fringe level,
// paper.
constexpr int kDark = 200;
constexpr int kFringe = 235;

constexpr double kMostOfTheMargin = 0.4;

constexpr std::pair<int, int> kNeighbours[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};

}  // namespace

void ClearEdgeInk(Picture& picture, const PixelBox& keep) {
    const int width = picture.width, height = picture.height, channels = picture.channels;
    if (width <= 0 || height <= 0)
        return;
    const auto level = [&](std::size_t at) {
        const std::uint8_t* p = picture.samples.data() + at * channels;
        return channels == 1 ? p[0] : (p[0] + 2 * p[1] + p[2]) / 4;
    };
    // Where a pixel is, when it is on the picture and not in `keep`.
    const auto margin = [&](int x, int y) -> std::optional<std::size_t> {
        if (x < 0 || y < 0 || x >= width || y >= height ||
            (x >= keep.left && x < keep.right && y >= keep.top && y < keep.bottom))
            return std::nullopt;
        return static_cast<std::size_t>(y) * width + x;
    };
    // Most pages' edges are paper all round: they cost a look at their edges.
    const auto dark = [&](int x, int y) {
        const auto at = margin(x, y);
        return at && level(*at) < kDark;
    };
    bool any = false;
    for (int x = 0; x < width && !any; ++x)
        any = dark(x, 0) || dark(x, height - 1);
    for (int y = 0; y < height && !any; ++y)
        any = dark(0, y) || dark(width - 1, y);
    if (!any)
        return;
    std::vector<std::uint8_t> joined(static_cast<std::size_t>(width) * height, 0);
    std::vector<std::size_t> pending, reached;
    const auto reach = [&](int x, int y) {
        const auto at = margin(x, y);
        if (at && joined[*at] == 0 && level(*at) < kDark) {
            joined[*at] = 1;
            pending.push_back(*at);
        }
    };
    for (int x = 0; x < width; ++x) {
        reach(x, 0);
        reach(x, height - 1);
    }
    for (int y = 0; y < height; ++y) {
        reach(0, y);
        reach(width - 1, y);
    }
    while (!pending.empty()) {
        const std::size_t at = pending.back();
        pending.pop_back();
        reached.push_back(at);
        const int x = static_cast<int>(at % width), y = static_cast<int>(at / width);
        for (const auto& [dx, dy] : kNeighbours)
            reach(x + dx, y + dy);
    }
    // Most of the margin dark and joined to the edge is a picture printed to the paper's edge
    // (a plate, a cover), whatever was found to be its content: it is left whole.
    const PixelBox inside{std::clamp(keep.left, 0, width), std::clamp(keep.top, 0, height),
                          std::clamp(keep.right, 0, width), std::clamp(keep.bottom, 0, height)};
    const std::size_t marginPixels =
        static_cast<std::size_t>(width) * height -
        static_cast<std::size_t>(std::max(inside.Width(), 0)) * std::max(inside.Height(), 0);
    if (reached.size() > kMostOfTheMargin * marginPixels)
        return;
    const auto paper = [&](std::size_t at) {
        std::fill_n(picture.samples.data() + at * channels, channels, std::uint8_t{255});
    };
    // The grey fringe a border's edge leaves once turned and shrunk goes with it.
    for (const std::size_t at : reached) {
        const int x = static_cast<int>(at % width), y = static_cast<int>(at / width);
        for (const auto& [dx, dy] : kNeighbours) {
            if (const auto near = margin(x + dx, y + dy);
                near && joined[*near] == 0 && level(*near) < kFringe)
                paper(*near);
        }
    }
    for (const std::size_t at : reached)
        paper(at);
}

}  // namespace vellumark::imaging
