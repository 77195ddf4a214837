#include "imaging/cleanup/PageRegions.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "imaging/cleanup/TextPieces.h"

namespace vellumark::imaging {
namespace {

// The page's ink pieces that are content, in map pixels: not touching the sheet's edge (a
// border, a shadow, the next page's edge) nor a border just short of it, not a speck nor a dot
// of dirt alone in a margin, not a band as tall as the sheet (a fold's shadow), not a hole
// punched for a binder or the paper's own edge.
struct ContentPieces {
    InkMap map;
    double mapDpi = 0;  // the map's resolution
    std::vector<InkPiece> pieces;
    std::vector<InkPiece> tallBands;  // the dark bands left out, for the fold
};

// A hole punched for a binder, as a dark scanner lid shows it: a solid round blot 4 to 9 mm
// across (holes are 5 to 8 mm) whose middle is within an inch or so of the sheet's edge (holes
// are punched about half an inch in).
bool LooksPunched(const InkPiece& piece, const InkMap& map, double mapDpi) {
    const PixelBox& box = piece.box;
    const double width = box.Width() / mapDpi, height = box.Height() / mapDpi;  // inches
    const auto holeSized = [](double across) { return across >= 0.16 && across <= 0.36; };
    if (!holeSized(width) || !holeSized(height) || width > 1.3 * height || height > 1.3 * width)
        return false;
    // A disc fills about 0.79 of its box; a letter or a ring far less.
    if (piece.area < 0.6 * box.Width() * box.Height())
        return false;
    const double x = (box.left + box.right) / 2.0, y = (box.top + box.bottom) / 2.0;
    const double fromEdge = std::min({x, y, map.width - x, map.height - y}) / mapDpi;
    return fromEdge < 1.2;
}

// The paper's own edge, where the sheet lay on a lid of another shade: a thin line, or two to
// four meeting at corners, along most of the sheet a little way in from its edge. A printed rule
// or frame keeps a page's margin from the edge, and stays content.
bool LooksLikePaperEdge(const InkPiece& piece, const InkMap& map, double mapDpi) {
    const PixelBox& box = piece.box;
    // Ink for a line of at most 0.06 inch along the box's length and breadth: a straight line
    // or a corner of that weight, a whole frame of half of it.
    if (piece.area > 0.06 * mapDpi * (box.Width() + box.Height()))
        return false;
    const double near = 0.25 * mapDpi;
    const bool across =
        box.Width() >= 0.6 * map.width && (box.top < near || box.bottom > map.height - near);
    const bool down =
        box.Height() >= 0.6 * map.height && (box.left < near || box.right > map.width - near);
    return across || down;
}

// A scanner's dark border that stops short of the sheet's edge, where the scanner left a strip
// of light outside it: a band along an edge, or a ring around the sheet, within a tenth of an
// inch of the edges. A photograph that close to the edge is thicker than a band and fuller than
// a ring.
bool LooksLikeBorder(const InkPiece& piece, const InkMap& map, double mapDpi) {
    const PixelBox& box = piece.box;
    const double near = std::max(1.0, 0.1 * mapDpi);
    const bool left = box.left < near, top = box.top < near;
    const bool right = box.right > map.width - near, bottom = box.bottom > map.height - near;
    const bool across =
        (top || bottom) && box.Width() >= 0.6 * map.width && box.Height() <= 0.08 * map.height;
    const bool down =
        (left || right) && box.Height() >= 0.6 * map.height && box.Width() <= 0.08 * map.width;
    const bool ring = left && top && right && bottom &&
                      piece.area <= 0.5 * static_cast<double>(box.Width()) * box.Height();
    return across || down || ring;
}

// Dirt on the glass scans as dots in the margin, each one widening the crop to it. A dot is
// kept where other ink lies within `near` of it: a full stop, a dotted rule or the dots of an
// engraving stay, and so does a dot among the rest of the content. Too many dots to weigh one
// by one (a stipple, heavy noise) are all kept.
void KeepDotsNearInk(const std::vector<InkPiece>& dots, std::vector<InkPiece>& pieces,
                     double near) {
    constexpr std::size_t kMostWeighed = 400;
    PixelBox rest;
    for (const InkPiece& piece : pieces)
        rest = rest.Union(piece.box);
    const auto within = [&](const PixelBox& a, const PixelBox& b) {
        return a.left - near < b.right && b.left - near < a.right && a.top - near < b.bottom &&
               b.top - near < a.bottom;
    };
    const auto nearInk = [&](const InkPiece& dot) {
        if (!rest.Empty() && rest.Contains(dot.box))
            return true;  // among the rest: it widens nothing
        if (!rest.Empty() && within(dot.box, rest)) {
            for (const InkPiece& piece : pieces) {
                if (within(dot.box, piece.box))
                    return true;
            }
        }
        for (const InkPiece& other : dots) {
            if (&other != &dot && within(dot.box, other.box))
                return true;
        }
        return false;
    };
    std::vector<InkPiece> kept;
    for (const InkPiece& dot : dots) {
        if (dots.size() > kMostWeighed || nearInk(dot))
            kept.push_back(dot);
    }
    pieces.insert(pieces.end(), kept.begin(), kept.end());
}

// What is left of a shadow once its paper is cleared: the ends of the lines beside it, and
// remnants of whatever else was dark there (a border, the paper's edge, a line). A remnant is
// kept where it is of a letter's height and beside the kept pieces of its line, within `near`;
// one kept may bring in the next.
void KeepBesideLines(std::vector<InkPiece> remnants, std::vector<InkPiece>& pieces, double near,
                     double mapDpi) {
    std::erase_if(remnants, [&](const InkPiece& remnant) {
        const double height = remnant.box.Height() / mapDpi;
        return height < 0.025 || height > 0.4;
    });
    const auto beside = [&](const InkPiece& remnant, const InkPiece& piece) {
        const PixelBox &a = remnant.box, &b = piece.box;
        return a.top < b.bottom && b.top < a.bottom && a.left - near < b.right &&
               b.left - near < a.right;
    };
    for (bool kept = true; kept;) {
        kept = false;
        for (auto remnant = remnants.begin(); remnant != remnants.end();) {
            const bool keep = std::any_of(pieces.begin(), pieces.end(), [&](const InkPiece& piece) {
                return beside(*remnant, piece);
            });
            if (keep) {
                pieces.push_back(*remnant);
                remnant = remnants.erase(remnant);
                kept = true;
            } else {
                ++remnant;
            }
        }
    }
}

ContentPieces FindContentPieces(const GreyPicture& page, double dpi) {
    ContentPieces found;
    const int factor = AnalysisFactor(dpi);
    found.mapDpi = (dpi > 0 ? dpi : 300) / factor;
    std::vector<PixelBox> shadows;
    found.map = ReduceToInkBesideShadows(page, factor, MeasureInk(page), found.mapDpi, shadows);
    const InkMap& map = found.map;
    const auto inShadow = [&](const InkPiece& piece) {
        return std::any_of(shadows.begin(), shadows.end(), [&](const PixelBox& shadow) {
            return piece.box.left < shadow.right && shadow.left < piece.box.right;
        });
    };
    const double mapDpi = found.mapDpi;
    // A speck: smaller every way than the dot of an i in small print.
    const double speck = 0.02 * mapDpi;
    // A dot: smaller every way than a figure of the smallest print, as dirt on the glass is,
    // with a map pixel for where it falls across them.
    const double dot = 0.045 * mapDpi + 1;
    std::vector<InkPiece> marks;     // holes and paper edges: content only among the rest
    std::vector<InkPiece> dots;      // content only near other ink
    std::vector<InkPiece> remnants;  // in a shadow: content only beside a line's other words
    for (const InkPiece& piece : FindInkPieces(map)) {
        const PixelBox& box = piece.box;
        const bool atEdge = box.left == 0 || box.top == 0 || box.right == map.width ||
                            box.bottom == map.height || LooksLikeBorder(piece, map, mapDpi);
        if (box.Height() > 0.6 * map.height && box.Width() < 0.15 * map.width)
            found.tallBands.push_back(piece);
        else if (atEdge || (box.Width() <= speck && box.Height() <= speck))
            continue;
        else if (box.Width() <= dot && box.Height() <= dot)
            dots.push_back(piece);
        else if (inShadow(piece))
            remnants.push_back(piece);
        else
            (LooksPunched(piece, map, mapDpi) || LooksLikePaperEdge(piece, map, mapDpi)
                 ? marks
                 : found.pieces)
                .push_back(piece);
    }
    KeepBesideLines(std::move(remnants), found.pieces, 0.25 * mapDpi, mapDpi);
    KeepDotsNearInk(dots, found.pieces, 0.25 * mapDpi);
    // Left out only where it lies in the margin, or around the rest as an edge does: a bold dot
    // or a line among the text stays.
    PixelBox rest;
    for (const InkPiece& piece : found.pieces)
        rest = rest.Union(piece.box);
    for (const InkPiece& mark : marks) {
        const PixelBox& box = mark.box;
        const bool apart = box.right <= rest.left || box.left >= rest.right ||
                           box.bottom <= rest.top || box.top >= rest.bottom;
        const bool around = box.Contains(rest);
        if (!rest.Empty() && !apart && !around)
            found.pieces.push_back(mark);
    }
    return found;
}

PixelBox ToPage(const PixelBox& box, int factor, const GreyPicture& page) {
    return {box.left * factor, box.top * factor, std::min(box.right * factor, page.width),
            std::min(box.bottom * factor, page.height)};
}

}  // namespace

PixelBox FindContentBox(const GreyPicture& page, double dpi) {
    const ContentPieces found = FindContentPieces(page, dpi);
    PixelBox box;
    for (const InkPiece& piece : found.pieces)
        box = box.Union(piece.box);
    if (box.Empty())
        return {};
    return ToPage(box, found.map.factor, page);
}

bool LooksBlank(const GreyPicture& page) {
    const int left = page.width / 5, right = page.width - left;
    const int top = page.height / 5, bottom = page.height - top;
    if (right <= left || bottom <= top)
        return false;
    const std::uint8_t threshold = InkThreshold(page);
    std::size_t ink = 0;
    for (int y = top; y < bottom; ++y) {
        const std::uint8_t* row = page.pixels.data() + static_cast<std::size_t>(y) * page.width;
        for (int x = left; x < right; ++x)
            ink += row[x] < threshold ? 1 : 0;
    }
    // A thousandth of the middle: dust, a pencil mark, show-through darker than most.
    return ink * 1000 <= static_cast<std::size_t>(right - left) * (bottom - top);
}

GreyPicture EvenlyLit(const GreyPicture& page, double dpi) {
    constexpr int kDarkest = 96;  // paper darker than this is not paper
    const int block = std::max(4, static_cast<int>(0.4 * (dpi > 0 ? dpi : 300)));
    const int across = (page.width + block - 1) / block, down = (page.height + block - 1) / block;
    std::vector<std::uint8_t> brightest(static_cast<std::size_t>(across) * down, 0);
    for (int y = 0; y < page.height; ++y) {
        const std::uint8_t* row = page.pixels.data() + static_cast<std::size_t>(y) * page.width;
        std::uint8_t* blocks = brightest.data() + static_cast<std::size_t>(y / block) * across;
        for (int bx = 0; bx < across; ++bx) {
            const int from = bx * block, to = std::min(page.width, from + block);
            std::uint8_t level = blocks[bx];
            // A plain loop, not max_element, which keeps its place and is done one by one.
            for (int x = from; x < to; ++x)
                level = std::max(level, row[x]);
            blocks[bx] = level;
        }
    }
    // Each block's paper is the brightest of it and its neighbours: a block wholly inside a
    // picture or a paragraph still finds paper next to it. Kept as a factor in 16.16 fixed point.
    std::vector<std::uint32_t> gain(brightest.size(), 1u << 16);
    for (int by = 0; by < down; ++by) {
        for (int bx = 0; bx < across; ++bx) {
            int level = 0;
            for (int ny = std::max(0, by - 1); ny <= std::min(down - 1, by + 1); ++ny)
                for (int nx = std::max(0, bx - 1); nx <= std::min(across - 1, bx + 1); ++nx)
                    level =
                        std::max<int>(level, brightest[static_cast<std::size_t>(ny) * across + nx]);
            if (level >= kDarkest)
                gain[static_cast<std::size_t>(by) * across + bx] = (255u << 16) / level;
        }
    }
    GreyPicture lit = page;
    const int width = page.width;  // read once: the stores below could change it, for all GCC knows
    for (int y = 0; y < page.height; ++y) {
        std::uint8_t* __restrict row = lit.pixels.data() + static_cast<std::size_t>(y) * width;
        const std::uint32_t* gains = gain.data() + static_cast<std::size_t>(y / block) * across;
        for (int bx = 0; bx < across; ++bx) {
            const std::uint32_t factor = gains[bx];
            if (factor == 1u << 16)
                continue;  // white paper, or none: left as it is
            const int to = std::min(width, (bx + 1) * block);
            for (int x = bx * block; x < to; ++x)
                row[x] = static_cast<std::uint8_t>(std::min(255u, (row[x] * factor) >> 16));
        }
    }
    return lit;
}

std::optional<int> FindFold(const GreyPicture& sheet, double dpi) {
    // Two pages side by side make a sheet wider than tall.
    if (sheet.width < sheet.height)
        return std::nullopt;
    const ContentPieces found = FindContentPieces(sheet, dpi);
    const InkMap& map = found.map;
    std::vector<int> columns(static_cast<std::size_t>(map.width), 0);
    for (const InkPiece& piece : found.pieces) {
        for (int x = piece.box.left; x < piece.box.right; ++x)
            columns[x] += piece.box.Height();
    }
    // The widest run of empty columns in the middle of the sheet: the gutter.
    const int from = map.width * 3 / 10, to = map.width * 7 / 10;
    int bestBegin = -1, bestEnd = -1;
    for (int x = from; x < to;) {
        if (columns[x] != 0) {
            ++x;
            continue;
        }
        int end = x;
        while (end < map.width && columns[end] == 0)
            ++end;
        int begin = x;
        while (begin > 0 && columns[begin - 1] == 0)
            --begin;
        if (end - begin > bestEnd - bestBegin) {
            bestBegin = begin;
            bestEnd = end;
        }
        x = end;
    }
    if (bestBegin < 0)
        return std::nullopt;
    // Each side must hold a page's worth of text, not a sliver of the next page.
    std::size_t leftText = 0, rightText = 0;
    PixelBox left, right;
    const std::vector<InkPiece> text = TextPieces(found.pieces, found.mapDpi);
    for (const InkPiece& piece : text) {
        if (piece.box.right <= bestBegin) {
            ++leftText;
            left = left.Union(piece.box);
        } else if (piece.box.left >= bestEnd) {
            ++rightText;
            right = right.Union(piece.box);
        }
    }
    if (leftText < kMinTextPieces || rightText < kMinTextPieces || left.Width() < map.width / 5 ||
        right.Width() < map.width / 5)
        return std::nullopt;
    // A fold's shadow in the gutter marks the fold itself; without one, the gutter's middle.
    for (const InkPiece& band : found.tallBands) {
        const int middle = (band.box.left + band.box.right) / 2;
        if (middle >= bestBegin && middle < bestEnd)
            return std::min(sheet.width, middle * map.factor + map.factor / 2);
    }
    // Without a shadow, a gutter is two inner margins: wider than the gap between the columns
    // of a single landscape page (a quarter of an inch or so).
    if (bestEnd - bestBegin < 0.4 * found.mapDpi)
        return std::nullopt;
    return std::min(sheet.width, (bestBegin + bestEnd) * map.factor / 2);
}

}  // namespace vellumark::imaging
