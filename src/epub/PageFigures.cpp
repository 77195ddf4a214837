#include "epub/PageFigures.h"

#include <algorithm>
#include <cmath>

#include "epub/PageExport.h"
#include "imaging/Jpeg.h"
#include "imaging/Png.h"

namespace vellumark::epub {
namespace {

// At 96 pixels per inch: a cell of the ink grid is about a millimetre, pieces of one drawing
// are joined across a few of them, and a picture is at least this many cells of ink.
constexpr int kCell = 4;
constexpr int kJoin = 3;
constexpr int kMinInkCells = 24;
// A region smaller than this share of the page's width and height is a speck or a stray mark.
constexpr double kMinSide = 0.06;
constexpr std::uint8_t kInk = 128;
// Around a word's box, picture pixels still taken as its letters.
constexpr int kWordMargin = 2;

}  // namespace

std::vector<structure::PictureBox> FindPictureBoxes(const imaging::GreyPicture& picture,
                                                    const std::vector<imaging::Word>& words,
                                                    double scale) {
    const int w = picture.width, h = picture.height;
    std::vector<structure::PictureBox> boxes;
    if (w <= 0 || h <= 0 || !(scale > 0))
        return boxes;
    // Pixels under words are the text's.
    std::vector<std::uint8_t> text(static_cast<std::size_t>(w) * h, 0);
    bool anyWord = false;
    for (const imaging::Word& word : words) {
        anyWord = true;
        if (!word.hasBox)
            continue;
        const int x0 = std::max(0, static_cast<int>(word.left * scale) - kWordMargin);
        const int y0 = std::max(0, static_cast<int>(word.top * scale) - kWordMargin);
        const int x1 =
            std::min(w, static_cast<int>((word.left + word.width) * scale) + kWordMargin);
        const int y1 =
            std::min(h, static_cast<int>((word.top + word.height) * scale) + kWordMargin);
        for (int y = y0; y < y1; ++y)
            std::fill_n(text.begin() + static_cast<std::ptrdiff_t>(y) * w + x0,
                        std::max(0, x1 - x0), std::uint8_t{1});
    }
    const int gw = (w + kCell - 1) / kCell, gh = (h + kCell - 1) / kCell;
    std::vector<std::uint8_t> ink(static_cast<std::size_t>(gw) * gh, 0);
    int inkCells = 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = picture.pixels.data() + static_cast<std::size_t>(y) * w;
        const std::uint8_t* under = text.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            if (row[x] < kInk && !under[x]) {
                std::uint8_t& cell = ink[static_cast<std::size_t>(y / kCell) * gw + x / kCell];
                inkCells += cell == 0;
                cell = 1;
            }
        }
    }
    if (!anyWord) {
        if (inkCells > 0)
            boxes.push_back({0, 0, static_cast<int>(std::lround(w / scale)),
                             static_cast<int>(std::lround(h / scale))});
        return boxes;
    }
    // Pieces of ink close together are one picture: label the cells joined within kJoin.
    std::vector<int> label(ink.size(), -1);
    std::vector<int> stack;
    int next = 0;
    for (int start = 0; start < static_cast<int>(ink.size()); ++start) {
        if (!ink[static_cast<std::size_t>(start)] || label[static_cast<std::size_t>(start)] >= 0)
            continue;
        int x0 = gw, y0 = gh, x1 = -1, y1 = -1, cells = 0;
        label[static_cast<std::size_t>(start)] = next;
        stack.assign(1, start);
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            const int cx = at % gw, cy = at / gw;
            x0 = std::min(x0, cx), y0 = std::min(y0, cy);
            x1 = std::max(x1, cx), y1 = std::max(y1, cy);
            ++cells;
            for (int dy = -kJoin; dy <= kJoin; ++dy) {
                for (int dx = -kJoin; dx <= kJoin; ++dx) {
                    const int nx = cx + dx, ny = cy + dy;
                    if (nx < 0 || ny < 0 || nx >= gw || ny >= gh)
                        continue;
                    const std::size_t n = static_cast<std::size_t>(ny) * gw + nx;
                    if (ink[n] && label[n] < 0) {
                        label[n] = next;
                        stack.push_back(static_cast<int>(n));
                    }
                }
            }
        }
        ++next;
        const int bw = (x1 - x0 + 1) * kCell, bh = (y1 - y0 + 1) * kCell;
        if (cells < kMinInkCells || bw < kMinSide * w || bh < kMinSide * h)
            continue;
        boxes.push_back({static_cast<int>(x0 * kCell / scale), static_cast<int>(y0 * kCell / scale),
                         static_cast<int>(std::lround(bw / scale)),
                         static_cast<int>(std::lround(bh / scale))});
    }
    std::sort(boxes.begin(), boxes.end(), [](const auto& a, const auto& b) {
        return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
    return boxes;
}

CutPicture CutOut(const imaging::Picture& page, const structure::PictureBox& box, double scale,
                  bool bilevel, int quality) {
    const int x0 = std::clamp(static_cast<int>(box.left * scale), 0, std::max(0, page.width - 1));
    const int y0 = std::clamp(static_cast<int>(box.top * scale), 0, std::max(0, page.height - 1));
    const int x1 = std::clamp(static_cast<int>(std::ceil((box.left + box.width) * scale)), x0 + 1,
                              std::max(x0 + 1, page.width));
    const int y1 = std::clamp(static_cast<int>(std::ceil((box.top + box.height) * scale)), y0 + 1,
                              std::max(y0 + 1, page.height));
    imaging::Picture cut;
    cut.width = x1 - x0;
    cut.height = y1 - y0;
    cut.channels = page.channels;
    cut.samples.resize(cut.RowBytes() * static_cast<std::size_t>(cut.height));
    for (int y = 0; y < cut.height; ++y) {
        std::copy_n(page.Row(y0 + y) + static_cast<std::size_t>(x0) * page.channels, cut.RowBytes(),
                    cut.Row(y));
    }
    CutPicture result;
    result.width = cut.width;
    result.height = cut.height;
    if (bilevel) {
        result.bytes = imaging::EncodeGreyPng(imaging::ToGrey(std::move(cut)), kBilevelGreyLevels);
        result.mediaType = "image/png";
        result.extension = ".png";
    } else {
        result.bytes = imaging::EncodeJpeg(cut, quality);
        result.mediaType = "image/jpeg";
        result.extension = ".jpg";
    }
    return result;
}

}  // namespace vellumark::epub
