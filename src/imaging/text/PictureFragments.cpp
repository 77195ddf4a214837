#include "imaging/text/PictureFragments.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Utf8.h"

namespace vellumark::imaging {
namespace {

// Lengths of the runs of ink through each pixel along one direction: `at(i, j)` is pixel j of
// line i; the result has the same layout.
template <typename At>
void RunLengths(int lines, int length, At at, const std::vector<std::uint8_t>& ink,
                std::vector<int>& runs) {
    for (int i = 0; i < lines; ++i) {
        for (int j = 0; j < length;) {
            if (!ink[at(i, j)]) {
                ++j;
                continue;
            }
            int end = j;
            while (end < length && ink[at(i, end)])
                ++end;
            for (int k = j; k < end; ++k)
                runs[at(i, k)] = end - j;
            j = end;
        }
    }
}

// Letters and digits of every script count; the Latin-1 signs (such as the copyright sign)
// and the general punctuation, symbol and shape blocks do not.
bool HasLetterOrDigit(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = DecodeUtf8(text, at);
        at += c.length;
        const char32_t v = c.value;
        if ((v >= U'0' && v <= U'9') || (v >= U'A' && v <= U'Z') || (v >= U'a' && v <= U'z'))
            return true;
        if (c.valid && v >= 0xC0 && v != 0xD7 && v != 0xF7 && !(v >= 0x2000 && v <= 0x2BFF))
            return true;
    }
    return false;
}

}  // namespace

InkShape MeasureInk(const GreyPicture& picture, int left, int top, int width, int height) {
    InkShape shape;
    const int x0 = std::clamp(left, 0, picture.width),
              x1 = std::clamp(left + width, 0, picture.width);
    const int y0 = std::clamp(top, 0, picture.height),
              y1 = std::clamp(top + height, 0, picture.height);
    const int w = x1 - x0, h = y1 - y0;
    shape.height = std::max(h, 0);
    if (w <= 0 || h <= 0)
        return shape;
    const auto pixel = [&](int x, int y) {
        return picture.pixels[static_cast<std::size_t>(y0 + y) * picture.width + x0 + x];
    };
    int darkest = 255, lightest = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            darkest = std::min<int>(darkest, pixel(x, y));
            lightest = std::max<int>(lightest, pixel(x, y));
        }
    }
    // Ink is what is darker than halfway between the box's extremes; a box of one tone has none.
    const int range = lightest - darkest;
    if (range < 48)
        return shape;
    const int middle = darkest + range / 2;
    const int greyLow = darkest + range / 4, greyHigh = lightest - range / 4;
    const auto index = [w](int x, int y) { return static_cast<std::size_t>(y) * w + x; };
    std::vector<std::uint8_t> ink(static_cast<std::size_t>(w) * h);
    std::size_t inkPixels = 0, greyPixels = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int v = pixel(x, y);
            ink[index(x, y)] = v < middle;
            inkPixels += v < middle;
            greyPixels += v > greyLow && v < greyHigh;
        }
    }
    shape.greyShare = static_cast<double>(greyPixels) / ink.size();
    if (inkPixels == 0)
        return shape;

    std::vector<int> across(ink.size(), 0), along(ink.size(), 0);
    RunLengths(
        h, w, [&](int y, int x) { return index(x, y); }, ink, across);
    RunLengths(
        w, h, [&](int x, int y) { return index(x, y); }, ink, along);
    const int solid = std::max(3, h / 3);
    std::size_t solidPixels = 0;
    for (std::size_t i = 0; i < ink.size(); ++i)
        solidPixels += ink[i] && across[i] > solid && along[i] > solid;
    shape.solidShare = static_cast<double>(solidPixels) / inkPixels;

    // Paper that no path over paper joins to the box's edge is enclosed by ink.
    std::vector<std::uint8_t> open(ink.size(), 0);
    std::vector<std::pair<int, int>> stack;
    const auto flood = [&](int x, int y) {
        if (ink[index(x, y)] || open[index(x, y)])
            return;
        open[index(x, y)] = 1;
        stack.assign(1, {x, y});
        while (!stack.empty()) {
            const auto [px, py] = stack.back();
            stack.pop_back();
            const std::pair<int, int> next[] = {
                {px - 1, py}, {px + 1, py}, {px, py - 1}, {px, py + 1}};
            for (const auto& [nx, ny] : next) {
                if (nx >= 0 && ny >= 0 && nx < w && ny < h && !ink[index(nx, ny)] &&
                    !open[index(nx, ny)]) {
                    open[index(nx, ny)] = 1;
                    stack.push_back({nx, ny});
                }
            }
        }
    };
    for (int x = 0; x < w; ++x) {
        flood(x, 0);
        flood(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        flood(0, y);
        flood(w - 1, y);
    }
    std::size_t enclosed = 0;
    for (std::size_t i = 0; i < ink.size(); ++i)
        enclosed += !ink[i] && !open[i];
    shape.enclosedShare = static_cast<double>(enclosed) / ink.size();

    // Pieces of ink, each flooded from its first pixel.
    std::vector<std::uint8_t> seen(ink.size(), 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!ink[index(x, y)] || seen[index(x, y)])
                continue;
            ++shape.pieces;
            int minX = x, maxX = x, minY = y, maxY = y;
            seen[index(x, y)] = 1;
            stack.assign(1, {x, y});
            while (!stack.empty()) {
                const auto [px, py] = stack.back();
                stack.pop_back();
                minX = std::min(minX, px), maxX = std::max(maxX, px);
                minY = std::min(minY, py), maxY = std::max(maxY, py);
                for (int ny = std::max(py - 1, 0); ny <= std::min(py + 1, h - 1); ++ny) {
                    for (int nx = std::max(px - 1, 0); nx <= std::min(px + 1, w - 1); ++nx) {
                        if (ink[index(nx, ny)] && !seen[index(nx, ny)]) {
                            seen[index(nx, ny)] = 1;
                            stack.push_back({nx, ny});
                        }
                    }
                }
            }
            // Tesseract's boxes are tight: reaching within two pixels of every side is reaching it.
            if (minX <= 2 && minY <= 2 && maxX >= w - 3 && maxY >= h - 3)
                shape.spanned = true;
        }
    }
    return shape;
}

bool IsPictureFragment(const InkShape& ink, std::string_view text, float confidence,
                       double typeHeight) {
    const int characters = static_cast<int>(CharacterCount(text));
    const bool tall = typeHeight > 0 && ink.height > 2 * typeHeight;
    const bool symbol = !HasLetterOrDigit(text);
    if (ink.solidShare > 0.5 ||
        (symbol && ink.spanned && ink.pieces == 1 && (ink.enclosedShare > 0.35 || tall)))
        return true;
    const bool unlikeType = ink.solidShare > 0.3 || ink.greyShare > 0.35 ||
                            (ink.spanned && characters >= 2) || ink.pieces > 3 * characters + 6;
    if (confidence < kSureReading)
        return unlikeType || (tall && confidence < kSureReading / 2);
    return tall && symbol && unlikeType;
}

}  // namespace vellumark::imaging
