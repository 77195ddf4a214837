#include "imaging/cleanup/EdgeInk.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace vellumark::imaging {
namespace {

// Darker than the paper by this much is a border's or a shadow's; by the fringe's, the grey
// edge such a region leaves once turned and shrunk.
constexpr int kDarker = 50;
constexpr int kFringeDarker = 20;
// More of the margin than this dark and joined to the edge is a picture printed to the edge.
constexpr double kMostOfTheMargin = 0.4;
// The margin's paper is read from every this many pixels each way.
constexpr int kPaperSampleStep = 4;

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
    // Every few pixels of the margin, and every pixel of the picture's edge.
    const auto eachSample = [&](auto&& visit) {
        for (int y = 0; y < height; y += kPaperSampleStep) {
            for (int x = 0; x < width; x += kPaperSampleStep) {
                if (const auto at = margin(x, y))
                    visit(*at);
            }
        }
    };
    const auto eachEdgePixel = [&](auto&& visit) {
        for (int x = 0; x < width; ++x) {
            visit(x, 0);
            visit(x, height - 1);
        }
        for (int y = 0; y < height; ++y) {
            visit(0, y);
            visit(width - 1, y);
        }
    };
    // The paper: the level most of the margin is at or under, the brightest quarter left out.
    std::array<std::size_t, 256> histogram{};
    std::size_t sampled = 0;
    eachSample([&](std::size_t at) {
        ++histogram[static_cast<std::size_t>(level(at))];
        ++sampled;
    });
    if (sampled == 0)
        return;
    int paper = 255;
    for (std::size_t below = 0; paper > 0; --paper) {
        below += histogram[static_cast<std::size_t>(paper)];
        if (4 * below >= sampled)
            break;
    }
    const int dark = paper - kDarker, fringe = paper - kFringeDarker;
    const auto isDark = [&](int x, int y) {
        const auto at = margin(x, y);
        return at && level(*at) < dark;
    };
    // Most pages' edges are paper all round: they cost a look at their edges.
    bool any = false;
    eachEdgePixel([&](int x, int y) { any = any || isDark(x, y); });
    if (!any)
        return;

    const PixelBox inside{std::clamp(keep.left, 0, width), std::clamp(keep.top, 0, height),
                          std::clamp(keep.right, 0, width), std::clamp(keep.bottom, 0, height)};
    const std::size_t marginPixels =
        static_cast<std::size_t>(width) * height -
        static_cast<std::size_t>(std::max(inside.Width(), 0)) * std::max(inside.Height(), 0);
    const auto most =
        static_cast<std::size_t>(kMostOfTheMargin * static_cast<double>(marginPixels));
    std::vector<bool> joined(static_cast<std::size_t>(width) * height, false);
    std::vector<std::pair<int, int>> pending;
    std::size_t reached = 0;
    const auto reach = [&](int x, int y) {
        const auto at = margin(x, y);
        if (at && !joined[*at] && level(*at) < dark) {
            joined[*at] = true;
            pending.emplace_back(x, y);
            ++reached;
        }
    };
    eachEdgePixel(reach);
    while (!pending.empty()) {
        // A picture printed to the paper's edge (a plate, a cover), whatever was found to be its
        // content: left whole.
        if (reached > most)
            return;
        const auto [x, y] = pending.back();
        pending.pop_back();
        for (const auto& [dx, dy] : kNeighbours)
            reach(x + dx, y + dy);
    }

    // Made the paper's own colour: the mean of the margin's pixels at its level.
    std::array<double, 3> sum{};
    double count = 0;
    eachSample([&](std::size_t at) {
        if (level(at) < paper)
            return;
        for (int c = 0; c < channels; ++c)
            sum[static_cast<std::size_t>(c)] += picture.samples[at * channels + c];
        ++count;
    });
    std::array<std::uint8_t, 3> colour{};
    for (int c = 0; c < channels; ++c)
        colour[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(
            count > 0 ? sum[static_cast<std::size_t>(c)] / count + 0.5 : paper);
    const auto paint = [&](std::size_t at) {
        std::copy_n(colour.begin(), channels, picture.samples.begin() + at * channels);
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * width + x;
            if (joined[at])
                continue;
            const auto near = margin(x, y);
            if (!near || level(at) >= fringe)
                continue;
            for (const auto& [dx, dy] : kNeighbours) {
                const int nx = x + dx, ny = y + dy;
                if (nx >= 0 && ny >= 0 && nx < width && ny < height &&
                    joined[static_cast<std::size_t>(ny) * width + nx]) {
                    paint(at);
                    break;
                }
            }
        }
    }
    for (std::size_t at = 0; at < joined.size(); ++at) {
        if (joined[at])
            paint(at);
    }
}

}  // namespace vellumark::imaging
