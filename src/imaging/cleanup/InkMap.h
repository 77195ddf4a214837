#pragma once
// The ink of a page at a reduced resolution, and its connected pieces: what the clean-up steps
// measure pages on. A reduced pixel is ink when any page pixel it covers is, so thin strokes
// survive the reduction.

#include <cstdint>
#include <vector>

#include "imaging/Picture.h"

namespace vellumark::imaging {

// A box of pixels, half-open: left <= x < right, top <= y < bottom.
struct PixelBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    // True when `other` lies wholly within this box (edges may meet).
    bool Contains(const PixelBox& other) const {
        return other.left >= left && other.top >= top && other.right <= right &&
               other.bottom <= bottom;
    }
    // The smallest box holding both; an empty box is no part of the union.
    PixelBox Union(const PixelBox& other) const;
    bool operator==(const PixelBox&) const = default;
};

struct InkMap {
    int width = 0;
    int height = 0;
    int factor = 1;                 // page pixels per map pixel, along each axis
    std::vector<std::uint8_t> ink;  // 1 for ink, width * height

    bool At(int x, int y) const { return ink[static_cast<std::size_t>(y) * width + x] != 0; }
};

// The grey level that best parts ink from paper (Otsu's) in the middle of the sheet, kept well
// darker than the paper so that a blank page does not make its own noise the ink (and at most
// 192), and no darker than 64 or half the paper's level, so that the letters of a dim scan are
// ink; and the paper's own level there.
struct InkLevels {
    std::uint8_t threshold = 128;
    double paper = 255;
};
InkLevels MeasureInk(const GreyPicture& page);
inline std::uint8_t InkThreshold(const GreyPicture& page) {
    return MeasureInk(page).threshold;
}

// The page reduced by `factor` (at least 1) along each axis; a map pixel is ink when any of its
// page pixels is darker than `threshold`.
InkMap ReduceToInk(const GreyPicture& page, int factor, std::uint8_t threshold);

// As ReduceToInk, but where a shadow darkens whole lines of paper from an edge inwards (a
// gutter's or a fold's beside the left or right edge, a lifted edge's above or below the rest), a
// pixel there is ink only when it is as much darker than its line's paper as ink is than the
// page's: letters on a shadow's lit side are parted from it, and the shadow's noise does not
// become ink. Lines darker than two-fifths of the paper (a scanner's border, a shadow's core),
// runs of dim lines narrower than a shadow (a rule) and dim lines away from the edge (a
// photograph) are left to the threshold. `shadowPaper` receives the map of the pixels taken for
// shadowed paper, kShadowBeside beside the left and right edges and kShadowAbove above or below
// the rest, and is empty when there are none.
constexpr std::uint8_t kShadowBeside = 1;
constexpr std::uint8_t kShadowAbove = 2;
InkMap ReduceToInkBesideShadows(const GreyPicture& page, int factor, const InkLevels& levels,
                                double mapDpi, InkMap& shadowPaper);

// The picture made `factor` times smaller each way (at least 1), each pixel the darkest of those
// it covers, so that a stroke thinner than the factor is kept whole; the last row and column
// cover what is left.
GreyPicture ShrinkKeepingInk(const GreyPicture& page, int factor);

struct InkPiece {
    PixelBox box;  // in map pixels
    int area = 0;  // ink pixels
};

// The 8-connected pieces of ink, in no particular order.
std::vector<InkPiece> FindInkPieces(const InkMap& map);

// Clears specks from a bilevel page (black 0, white 255): every 8-connected piece of ink of at
// most `maxArea` pixels becomes paper, unless other ink lies within one and a half times a
// speck's width of it (the dots of a halftone picture or a dotted rule, a full stop beside its
// word). Returns how many were cleared.
int Despeckle(GreyPicture& page, int maxArea);
// The same for a page of bits (a set bit is ink).
int Despeckle(BitPicture& page, int maxArea);

}  // namespace vellumark::imaging
