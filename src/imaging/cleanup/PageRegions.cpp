#include "imaging/cleanup/PageRegions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <vector>

#include "imaging/cleanup/TextPieces.h"

namespace vellumark::imaging {
namespace {

// The page's ink pieces that are content, in map pixels: not touching the sheet's edge (a
// border, a shadow, the next page's edge) nor a border just short of it, not a speck, not dust
// in a margin, not a band as tall as the sheet (a fold's shadow), not a hole punched for a
// binder or the paper's own edge, and of what a shadow's paper joined to it, only the ends of
// its lines and pictures.
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

// The sides of `box` that are a bar of ink as thick as a scanner's border: lines along the side
// inked over four fifths of it, for 0.16 in or more within half an inch of it (past the wedges
// a turn fills dark). A table's or a printed frame's rules are thinner. `inside` is the box less
// those bars, open to the sheet's edge where there is none.
struct Bars {
    int sides = 0;
    PixelBox inside;
};
Bars SolidBars(const PixelBox& box, const InkMap& map, double mapDpi) {
    const int within = std::max(1, static_cast<int>(0.5 * mapDpi));
    const int thick = std::max(2, static_cast<int>(0.16 * mapDpi));
    const auto solid = [&](bool row, int at) {
        const int from = row ? box.left : box.top, to = row ? box.right : box.bottom;
        int ink = 0;
        for (int i = from; i < to; ++i)
            ink += row ? map.At(i, at) : map.At(at, i);
        return ink >= 0.8 * (to - from);
    };
    Bars bars{0, {0, 0, map.width, map.height}};
    for (const bool row : {true, false}) {
        for (const bool far : {false, true}) {
            const int first = row ? box.top : box.left, last = (row ? box.bottom : box.right) - 1;
            int run = 0, longest = 0, depth = 0;
            for (int k = 0; k < std::min(within, last - first + 1); ++k) {
                run = solid(row, far ? last - k : first + k) ? run + 1 : 0;
                if (run > longest) {
                    longest = run;
                    depth = k + 1;
                }
            }
            if (longest < thick)
                continue;
            ++bars.sides;
            int& side = row ? (far ? bars.inside.bottom : bars.inside.top)
                            : (far ? bars.inside.right : bars.inside.left);
            side = far ? last + 1 - depth : first + depth;
        }
    }
    return bars;
}

// A scanner's dark border that stops short of the sheet's edge, where the scanner left a strip
// of light outside it: a band along an edge, or a ring around the sheet, within a tenth of an
// inch of the edges. A photograph that close to the edge is thicker than a band and fuller than
// a ring. A ring or a band of a border's solid bars may lie further in, where the sheet was
// turned before it came to us and the turn's light wedges lie outside it, and a ring be open on
// one side, where a shadow's paper was cleared from it; what such a ring encloses is added to
// `insides`.
bool LooksLikeBorder(const InkPiece& piece, const InkMap& map, double mapDpi,
                     std::vector<PixelBox>& insides) {
    const PixelBox& box = piece.box;
    // Whether the box comes within `inches` of the left, top, right and bottom edges.
    const auto within = [&](double inches) {
        const double near = std::max(1.0, inches * mapDpi);
        const bool left = box.left < near, top = box.top < near;
        const bool right = box.right > map.width - near, bottom = box.bottom > map.height - near;
        return std::array<bool, 4>{left, top, right, bottom};
    };
    const auto [left, top, right, bottom] = within(0.1);
    const bool across =
        (top || bottom) && box.Width() >= 0.6 * map.width && box.Height() <= 0.08 * map.height;
    const bool down =
        (left || right) && box.Height() >= 0.6 * map.height && box.Width() <= 0.08 * map.width;
    const bool sparse = piece.area <= 0.5 * static_cast<double>(box.Width()) * box.Height();
    const bool ring = left && top && right && bottom && sparse;
    const bool band = box.Height() <= 0.08 * map.height || box.Width() <= 0.08 * map.width;
    bool turnedRing = false;
    if (std::ranges::count(within(0.3), true) >= 3 && (sparse || band)) {
        const Bars bars = SolidBars(box, map, mapDpi);
        turnedRing = bars.sides >= 3;
        if (turnedRing && !band)
            insides.push_back(bars.inside);
    }
    return across || down || ring || turnedRing;
}

// How many specks of dust lie on a square inch of the margins: the median over the inch-wide
// cells mostly outside `core`, so that the dots of a stipple or a dotted rule, packed into a few
// cells, do not count as dust spread over the sheet. Nought where the margins are too narrow to
// tell.
double DustPerSquareInch(const std::vector<InkPiece>& small, const PixelBox& core,
                         const InkMap& map, double mapDpi) {
    const int cell = std::max(1, static_cast<int>(mapDpi));
    const int across = (map.width + cell - 1) / cell, down = (map.height + cell - 1) / cell;
    std::vector<int> counts(static_cast<std::size_t>(across) * down, 0);
    for (const InkPiece& piece : small) {
        if (!core.Empty() && core.Contains(piece.box))
            continue;
        const int x = (piece.box.left + piece.box.right) / 2 / cell;
        const int y = (piece.box.top + piece.box.bottom) / 2 / cell;
        ++counts[static_cast<std::size_t>(y) * across + x];
    }
    std::vector<double> densities;
    for (int cy = 0; cy < down; ++cy) {
        for (int cx = 0; cx < across; ++cx) {
            const PixelBox box{cx * cell, cy * cell, std::min(map.width, (cx + 1) * cell),
                               std::min(map.height, (cy + 1) * cell)};
            const PixelBox inCore{std::max(box.left, core.left), std::max(box.top, core.top),
                                  std::min(box.right, core.right),
                                  std::min(box.bottom, core.bottom)};
            const double area = static_cast<double>(box.Width()) * box.Height();
            const double outside =
                area -
                (inCore.Empty() ? 0.0 : static_cast<double>(inCore.Width()) * inCore.Height());
            if (outside >= 0.5 * cell * cell)
                densities.push_back(counts[static_cast<std::size_t>(cy) * across + cx] /
                                    (outside / (mapDpi * mapDpi)));
        }
    }
    if (densities.size() < 4)
        return 0;
    const auto middle = densities.begin() + static_cast<std::ptrdiff_t>(densities.size() / 2);
    std::nth_element(densities.begin(), middle, densities.end());
    return *middle;
}

// The small pieces by where they lie, to find those near one quickly: a grid of cells wider than
// the largest piece and the widest gap asked about, each listing the pieces whose top left corner
// falls in it.
class NearbyPieces {
public:
    NearbyPieces(const std::vector<InkPiece>& pieces, int largest, double widestGap,
                 const InkMap& map)
        : pieces_(pieces),
          cell_(largest + static_cast<int>(std::ceil(widestGap)) + 1),
          across_(map.width / cell_ + 1),
          down_(map.height / cell_ + 1),
          cells_(static_cast<std::size_t>(across_) * down_) {
        for (std::size_t i = 0; i < pieces.size(); ++i)
            cells_[CellOf(pieces[i].box)].push_back(i);
    }

    // Calls `visit` with the index of every other piece in the cells around piece `i`: all
    // those within the widest gap of it, and some farther.
    template <typename Visit>
    void Around(std::size_t i, Visit visit) const {
        const PixelBox& box = pieces_[i].box;
        const int cx = box.left / cell_, cy = box.top / cell_;
        for (int y = std::max(0, cy - 1); y <= std::min(down_ - 1, cy + 1); ++y) {
            for (int x = std::max(0, cx - 1); x <= std::min(across_ - 1, cx + 1); ++x) {
                for (const std::size_t j : cells_[static_cast<std::size_t>(y) * across_ + x]) {
                    if (j != i)
                        visit(j);
                }
            }
        }
    }

private:
    std::size_t CellOf(const PixelBox& box) const {
        return static_cast<std::size_t>(box.top / cell_) * across_ + box.left / cell_;
    }

    const std::vector<InkPiece>& pieces_;
    int cell_;
    int across_, down_;
    std::vector<std::vector<std::size_t>> cells_;
};

bool Within(const PixelBox& a, const PixelBox& b, double gap) {
    return a.left - gap < b.right && b.left - gap < a.right && a.top - gap < b.bottom &&
           b.top - gap < a.bottom;
}

// True when the boxes share rows and lie within `gap` of each other along them: two pieces of
// one line.
bool Level(const PixelBox& a, const PixelBox& b, double gap) {
    return a.top < b.bottom && b.top < a.bottom && Within(a, b, gap);
}

PixelBox BoxOf(const std::vector<InkPiece>& pieces) {
    PixelBox box;
    for (const InkPiece& piece : pieces)
        box = box.Union(piece.box);
    return box;
}

// A page number's figure alone above or below the rest, which a dusty sheet's specks must not take
// with them: as tall as a figure of small print, taller than a speck, and narrower than tall, as
// figures are and round specks and blots are not; centred on the rest or at its outer edge, where
// page numbers are printed. Its neighbours on its line come with it.
bool LooksLikeFolio(const InkPiece& piece, const PixelBox& rest, double mapDpi) {
    const PixelBox& box = piece.box;
    const double height = box.Height() / mapDpi;
    const bool figure = height >= 0.07 && height <= 0.25 && box.Width() <= 0.8 * box.Height();
    const bool apart = box.bottom <= rest.top || box.top >= rest.bottom;
    const double aligned = 0.2 * mapDpi;
    const bool placed = std::abs(box.left + box.right - rest.left - rest.right) <= 2 * aligned ||
                        std::abs(box.left - rest.left) <= aligned ||
                        std::abs(box.right - rest.right) <= aligned;
    return figure && apart && placed;
}

// Dust on the glass scans as dots and small blots scattered over the whole sheet, margins and
// all; each one left in a margin widens the crop to it. Of the small pieces, those kept are
// among the rest of the content, belong to it, are one of a group too large to have fallen
// together by chance (a stipple, a dotted rule), or are a page number. A small piece belongs to a
// line (a full stop, an ellipsis, a bullet) when it lies level with the line's ink, or with a small
// piece that does, up to a quarter of an inch away, or to a letter (an i's dot) when it lies just
// off it; on a dusty sheet the reach along the line shrinks, so that about one speck of the dust
// falls within it. Blots as large as two specks together are small pieces only on a dusty sheet: on
// a clean one they are a page number's figure or a bullet, and stay.
void KeepDustFree(const std::vector<InkPiece>& dots, const std::vector<InkPiece>& blots,
                  int largestBlot, std::vector<InkPiece>& pieces, const InkMap& map,
                  double mapDpi) {
    PixelBox core = BoxOf(pieces);
    std::vector<InkPiece> small = dots;
    small.insert(small.end(), blots.begin(), blots.end());
    const double dust = DustPerSquareInch(small, core, map, mapDpi);
    // The median of the margin's inch cells is nought, or a speck or more to a square inch:
    // under a half, most of the margin is clean (some twenty-five specks or fewer in an A4
    // page's margins, scattered at random).
    if (dust < 0.5) {
        pieces.insert(pieces.end(), blots.begin(), blots.end());
        small = dots;
        for (const InkPiece& blot : blots)
            core = core.Union(blot.box);
    }
    // Those among the rest widen nothing and are kept; the others are weighed.
    std::vector<InkPiece> outside;
    for (const InkPiece& piece : small)
        (!core.Empty() && core.Contains(piece.box) ? pieces : outside).push_back(piece);
    const std::size_t ofTheRest = pieces.size() - (small.size() - outside.size());

    const double lines = (core.Empty() ? map.height : core.Height()) / mapDpi;  // inches
    const double reach = mapDpi * std::clamp(dust > 0 ? 1.0 / (dust * lines) : 1.0, 0.03, 0.25);
    const double offLetter = 0.04 * mapDpi;
    const auto beside = [&](const PixelBox& a, const PixelBox& b) {
        return Level(a, b, reach) || Within(a, b, offLetter);
    };
    // Dotted rules and stipples leave less than a tenth of an inch between their dots.
    const double link = 0.1 * mapDpi;
    const NearbyPieces nearby(outside, largestBlot, std::max(link, reach), map);

    // Groups of pieces linked to each other, directly or through others.
    std::vector<std::size_t> group(outside.size());
    std::iota(group.begin(), group.end(), std::size_t{0});
    const auto root = [&](std::size_t i) {
        while (group[i] != i)
            i = group[i] = group[group[i]];
        return i;
    };
    for (std::size_t i = 0; i < outside.size(); ++i) {
        nearby.Around(i, [&](std::size_t j) {
            if (Within(outside[i].box, outside[j].box, link))
                group[root(i)] = root(j);
        });
    }
    std::vector<std::size_t> sizes(outside.size(), 0);
    for (std::size_t i = 0; i < outside.size(); ++i)
        ++sizes[root(i)];
    // The fewest pieces of a group that dust this dense makes by chance less than once a sheet
    // or so, where each speck has on average `neighbours` others within a link of it.
    const double neighbours = dust * std::pow((2 * link + largestBlot) / mapDpi, 2);
    const double count = static_cast<double>(std::max<std::size_t>(1, outside.size()));
    std::size_t fewest = 5;
    while (fewest < 100 && count * std::pow(neighbours, static_cast<double>(fewest - 1)) > 0.5)
        ++fewest;

    // Kept: the large groups, the pieces beside the rest's ink, and those level with them in
    // turn (the dots of an ellipsis, not a trail of dust leading away from a letter).
    std::vector<bool> kept(outside.size(), false);
    std::vector<std::size_t> besideKept;
    for (std::size_t i = 0; i < outside.size(); ++i) {
        const PixelBox& box = outside[i].box;
        kept[i] = sizes[root(i)] >= fewest;
        if (!kept[i] && !core.Empty() && beside(box, core)) {
            for (std::size_t p = 0; p < ofTheRest && !kept[i]; ++p)
                kept[i] = beside(box, pieces[p].box);
        }
        if (!kept[i] && !core.Empty())
            kept[i] = LooksLikeFolio(outside[i], core, mapDpi);
        if (kept[i] && sizes[root(i)] < fewest)
            besideKept.push_back(i);
    }
    while (!besideKept.empty()) {
        const std::size_t i = besideKept.back();
        besideKept.pop_back();
        nearby.Around(i, [&](std::size_t j) {
            const PixelBox &a = outside[j].box, &b = outside[i].box;
            if (!kept[j] && Level(a, b, reach)) {
                kept[j] = true;
                besideKept.push_back(j);
            }
        });
    }
    for (std::size_t i = 0; i < outside.size(); ++i) {
        if (kept[i])
            pieces.push_back(outside[i]);
    }
}

// What is left of a scanner's border where a shadow's paper was cleared from it, cutting it open:
// a frame around the rest of the content, with a border's solid bars along two sides or more.
bool AroundTheRest(const InkPiece& piece, const PixelBox& rest, const InkMap& map, double mapDpi) {
    const PixelBox& box = piece.box;
    return !rest.Empty() && box.Contains(rest) &&
           std::min(box.Width(), box.Height()) >= 0.25 * mapDpi &&
           SolidBars(box, map, mapDpi).sides >= 2;
}

// What was joined to a shadow until its paper was cleared: the ends of the lines beside it, and
// remnants of whatever else was dark there (a border, the paper's edge, a line), and pictures and
// tables it reached. A remnant is kept where it is of a letter's height and beside the kept
// pieces of its line, within `near` (one kept may bring in the next), or where it is as large as
// a picture.
void KeepBesideLines(std::vector<InkPiece> remnants, std::vector<InkPiece>& pieces, double near,
                     const InkMap& map, double mapDpi) {
    // A picture or a table's frame the shadow reached stays whole: a piece a quarter of an inch
    // or more each way is no line's remnant.
    const PixelBox rest = BoxOf(pieces);
    const auto picture = [&](const InkPiece& remnant) {
        return std::min(remnant.box.Width(), remnant.box.Height()) >= 0.25 * mapDpi &&
               !AroundTheRest(remnant, rest, map, mapDpi);
    };
    std::erase_if(remnants, [&](const InkPiece& remnant) {
        if (picture(remnant)) {
            pieces.push_back(remnant);
            return true;
        }
        const double height = remnant.box.Height() / mapDpi;
        return height < 0.025 || height > 0.4;
    });
    for (bool kept = true; kept;) {
        kept = false;
        for (auto remnant = remnants.begin(); remnant != remnants.end();) {
            const bool keep = std::any_of(pieces.begin(), pieces.end(), [&](const InkPiece& piece) {
                return Level(remnant->box, piece.box, near);
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
    InkMap shadowPaper;
    found.map = ReduceToInkBesideShadows(page, factor, MeasureInk(page), found.mapDpi, shadowPaper);
    const InkMap& map = found.map;
    // A piece touching shadowed paper was part of the shadow's piece; any other stands as it did.
    // Which shadow's, where it touches both: the one beside the lines.
    const auto joinedToShadow = [&](const InkPiece& piece) {
        std::uint8_t shadow = 0;
        if (shadowPaper.ink.empty())
            return shadow;
        const PixelBox& box = piece.box;
        for (int y = std::max(box.top - 1, 0); y < std::min(box.bottom + 1, map.height); ++y) {
            for (int x = std::max(box.left - 1, 0); x < std::min(box.right + 1, map.width); ++x) {
                const std::uint8_t here =
                    shadowPaper.ink[static_cast<std::size_t>(y) * map.width + x];
                if (here == kShadowBeside)
                    return here;
                shadow = std::max(shadow, here);
            }
        }
        return shadow;
    };
    const double mapDpi = found.mapDpi;
    // A speck: smaller every way than the dot of an i in small print.
    const double speck = 0.02 * mapDpi;
    // A dot: smaller every way than a figure of the smallest print, as dirt on the glass is,
    // with a map pixel for where it falls across them.
    const double dot = 0.045 * mapDpi + 1;
    // A blot: two specks of dust run together, at most a tenth of an inch every way.
    const double blot = 0.1 * mapDpi + 1;
    // Nothing is printed this close to the paper's edge: what larger than a blot lies wholly
    // within it is a scrap of a border or of the paper's edge. (Blots there are weighed as dust.)
    const double edgeBand = 0.1 * mapDpi;
    std::vector<InkPiece> marks;          // holes and paper edges: content only among the rest
    std::vector<InkPiece> dots;           // content only near other ink
    std::vector<InkPiece> blots;          // content only near other ink, on a dusty sheet
    std::vector<InkPiece> remnants;       // in a shadow: content only beside a line's other words
    std::vector<InkPiece> reached;        // by a shadow above or below: content unless a border's
    std::vector<PixelBox> borderInsides;  // what borders that do not reach the edge enclose
    for (const InkPiece& piece : FindInkPieces(map)) {
        const PixelBox& box = piece.box;
        const bool atEdge = box.left == 0 || box.top == 0 || box.right == map.width ||
                            box.bottom == map.height ||
                            LooksLikeBorder(piece, map, mapDpi, borderInsides);
        const bool inEdgeBand = box.right <= edgeBand || box.bottom <= edgeBand ||
                                box.left >= map.width - edgeBand ||
                                box.top >= map.height - edgeBand;
        if (box.Height() > 0.6 * map.height && box.Width() < 0.15 * map.width)
            found.tallBands.push_back(piece);
        else if (atEdge || (box.Width() <= speck && box.Height() <= speck))
            continue;
        else if (box.Width() <= dot && box.Height() <= dot)
            dots.push_back(piece);
        else if (inEdgeBand && (box.Width() > blot || box.Height() > blot))
            continue;
        else if (LooksPunched(piece, map, mapDpi) || LooksLikePaperEdge(piece, map, mapDpi))
            marks.push_back(piece);
        else if (const std::uint8_t shadow = joinedToShadow(piece); shadow == kShadowBeside)
            remnants.push_back(piece);
        else if (shadow == kShadowAbove)
            reached.push_back(piece);
        else
            (box.Width() <= blot && box.Height() <= blot ? blots : found.pieces).push_back(piece);
    }
    // Scraps of a border that does not reach the edge, where a shadow's paper was cleared from its
    // bars, lie mostly outside what it encloses.
    const auto outsideBorder = [&](const InkPiece& piece) {
        const PixelBox& box = piece.box;
        return std::ranges::any_of(borderInsides, [&](const PixelBox& inside) {
            const PixelBox in{std::max(box.left, inside.left), std::max(box.top, inside.top),
                              std::min(box.right, inside.right),
                              std::min(box.bottom, inside.bottom)};
            const double area = static_cast<double>(box.Width()) * box.Height();
            return in.Empty() || 2.0 * in.Width() * in.Height() < area;
        });
    };
    std::erase_if(remnants, outsideBorder);
    // A shadow above or below lies along the lines and parts them from it whole: what it reached
    // is weighed as any other piece, but for a border it cut open.
    const PixelBox text = BoxOf(found.pieces);
    for (const InkPiece& piece : reached) {
        const PixelBox& box = piece.box;
        if (!AroundTheRest(piece, text, map, mapDpi) && !outsideBorder(piece))
            (box.Width() <= blot && box.Height() <= blot ? blots : found.pieces).push_back(piece);
    }
    KeepBesideLines(std::move(remnants), found.pieces, 0.25 * mapDpi, map, mapDpi);
    KeepDustFree(dots, blots, static_cast<int>(blot), found.pieces, map, mapDpi);
    // Left out only where it lies in the margin, or around the rest as an edge does: a bold dot
    // or a line among the text stays.
    const PixelBox rest = BoxOf(found.pieces);
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
