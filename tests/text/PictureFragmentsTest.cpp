// What OCR reads from drawings, rules and photographs stays out of the text layer; words stay.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "TestTiff.h"
#include "imaging/Document.h"
#include "imaging/text/PictureFragments.h"
#include "imaging/text/TextLayer.h"
#include "imaging/text/WordMatch.h"
#include "tools/SampleScan.h"

namespace vellumark::imaging {
namespace {

using testing::TempFolder;

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool Overlaps(int l, int t, int w, int h) const {
        return l < left + width && left < l + w && t < top + height && top < t + h;
    }
};

// Shapes drawn onto a page, each remembered by its box.
class Drawing {
public:
    explicit Drawing(tools::BilevelPage& page) : page_(page) {}

    void Disc(int cx, int cy, int r) {
        Paint({cx - r, cy - r, 2 * r + 1, 2 * r + 1},
              [&](int x, int y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; });
    }
    void Ring(int cx, int cy, int r, int thickness) {
        Paint({cx - r, cy - r, 2 * r + 1, 2 * r + 1}, [&](int x, int y) {
            const double d = std::hypot(x - cx, y - cy);
            return d <= r && d > r - thickness;
        });
    }
    // Apex up; `hollow` leaves a border of `thickness`.
    void Triangle(int left, int top, int size, int thickness = 0) {
        const auto inside = [&](double x, double y, double inset) {
            const double half = (y - top) / 2.0;  // half-width at this height
            const double cx = left + size / 2.0;
            return y >= top + 2 * inset && y <= top + size - inset &&
                   std::abs(x - cx) <= half - inset * 1.2;
        };
        Paint({left, top, size, size}, [&](int x, int y) {
            return inside(x, y, 0) && (thickness == 0 || !inside(x, y, thickness));
        });
    }
    void Rule(int left, int top, int length, int thickness) {
        Paint({left, top, length, thickness}, [](int, int) { return true; });
    }
    // A photograph as a bilevel scanner stores it: smooth tones, ordered-dithered.
    void Photo(int left, int top, int width, int height) {
        static const int kBayer[4][4] = {
            {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
        Paint({left, top, width, height}, [&](int x, int y) {
            const double u = double(x - left) / width, v = double(y - top) / height;
            const double tone =
                0.5 + 0.3 * std::sin(7 * u + 3 * v) * std::cos(5 * v - 2 * u) + 0.2 * (u - v);
            return tone * 16 > kBayer[y % 4][x % 4] + 0.5;
        });
    }

    const std::vector<Rect>& Shapes() const { return shapes_; }

private:
    template <typename Inside>
    void Paint(Rect box, Inside inside) {
        for (int y = std::max(box.top, 0); y < std::min(box.top + box.height, page_.height); ++y) {
            for (int x = std::max(box.left, 0); x < std::min(box.left + box.width, page_.width);
                 ++x) {
                if (inside(x, y))
                    page_.SetBlack(x, y);
            }
        }
        shapes_.push_back(box);
    }

    tools::BilevelPage& page_;
    std::vector<Rect> shapes_;
};

bool RowHasInk(const tools::BilevelPage& page, int y) {
    for (int x = 0; x < page.width; ++x) {
        if (page.Black(x, y))
            return true;
    }
    return false;
}

// An A4 page at 300 dpi: paragraphs of 11 point text with room between them, shapes in that
// room and in the margins beside the text.
tools::BilevelPage ShapesPage(unsigned seed, std::vector<std::string>& words,
                              std::vector<Rect>& shapes) {
    tools::PageLayout layout;
    layout.seed = seed;
    std::vector<tools::TextLine> lines;
    for (int paragraph = 0; paragraph < 4; ++paragraph) {
        const std::string text = tools::FillerText(seed * 10 + paragraph, 70);
        for (const std::string& word : SplitWords(text))
            words.push_back(FoldWord(word));
        for (const tools::TextLine& line : tools::WrapParagraph(text, 11, layout))
            lines.push_back(line);
        for (int blank = 0; blank < 6; ++blank)
            lines.push_back({"", 11});
    }
    tools::BilevelPage page = tools::RenderPage(lines, layout);
    Drawing draw(page);
    // Beside the first line, as a letterhead's mark would stand.
    int firstInk = 0;
    while (!RowHasInk(page, firstInk))
        ++firstInk;
    draw.Triangle(90, firstInk - 20, 120);
    draw.Disc(page.width - 150, firstInk + 40, 60);
    // Opening each paragraph, a word's space before it, a mark of the type's size, where
    // Tesseract takes it for a word of the line.
    int mark = 0;
    for (int y = firstInk; y < page.height - layout.margin; ++y) {
        if (!RowHasInk(page, y) || RowHasInk(page, y - 1) || RowHasInk(page, y - 60))
            continue;
        const int size = 40, left = layout.margin - 60, top = y + 4;
        switch (mark++ % 3) {
            case 0:
                draw.Triangle(left, top, size);
                break;
            case 1:
                draw.Disc(left + size / 2, top + size / 2, size / 2);
                break;
            default:
                draw.Ring(left + size / 2, top + size / 2, size / 2, 5);
                break;
        }
    }
    // In each gap between paragraphs, a row of shapes.
    int row = 0;
    for (int y = firstInk; y < page.height - layout.margin;) {
        if (RowHasInk(page, y)) {
            ++y;
            continue;
        }
        int end = y;
        while (end < page.height && !RowHasInk(page, end))
            ++end;
        if (end - y >= 240 && end < page.height - layout.margin) {
            const int top = y + 40, size = std::min(end - y - 80, 200);
            switch (row++ % 3) {
                case 0:
                    draw.Triangle(layout.margin, top, size);
                    draw.Ring(layout.margin + 500, top + size / 2, size / 2, 8);
                    draw.Rule(layout.margin + 800, top + size / 2, 1000, 6);
                    break;
                case 1:
                    draw.Disc(layout.margin + size / 2, top + size / 2, size / 2);
                    draw.Triangle(layout.margin + 400, top, size, 10);
                    draw.Photo(layout.margin + 800, top, 1000, size);
                    break;
                default:
                    draw.Rule(layout.margin, top + 20, page.width - 2 * layout.margin, 3);
                    draw.Disc(layout.margin + 600, top + size / 2 + 10, size / 3);
                    draw.Ring(layout.margin + 1000, top + size / 2 + 10, size / 3, 4);
                    break;
            }
        }
        y = end;
    }
    shapes = draw.Shapes();
    return page;
}

// A grey picture of the page's pixels: ink black, paper white.
GreyPicture Grey(const tools::BilevelPage& page) {
    GreyPicture grey{page.width, page.height, {}};
    grey.pixels.resize(static_cast<std::size_t>(page.width) * page.height);
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x)
            grey.pixels[static_cast<std::size_t>(y) * page.width + x] = page.Black(x, y) ? 0 : 255;
    }
    return grey;
}

tools::BilevelPage Blank(int width, int height) {
    tools::BilevelPage page{width, height, {}};
    page.bits.resize(static_cast<std::size_t>(page.Stride()) * height);
    return page;
}

TEST(PictureFragmentsTest, InkTellsTypeFromShapesAndPhotographs) {
    tools::PageLayout layout;
    layout.width = 400;
    layout.height = 120;
    layout.margin = 20;
    const GreyPicture word = Grey(tools::RenderPage({{"harbour", 11}}, layout));
    // The word's box: its ink's bounds.
    int left = word.width, top = word.height, right = 0, bottom = 0;
    for (int y = 0; y < word.height; ++y) {
        for (int x = 0; x < word.width; ++x) {
            if (word.pixels[static_cast<std::size_t>(y) * word.width + x] == 0) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    const InkShape type = MeasureInk(word, left, top, right + 1 - left, bottom + 1 - top);
    EXPECT_LT(type.solidShare, 0.1);
    EXPECT_FALSE(type.spanned);
    EXPECT_EQ(type.pieces, 7);
    EXPECT_EQ(type.greyShare, 0);
    EXPECT_FALSE(IsPictureFragment(type, "harbour", 40, 35));

    tools::BilevelPage shapes = Blank(200, 50);
    Drawing draw(shapes);
    draw.Disc(20, 20, 20);
    draw.Ring(70, 20, 20, 5);
    draw.Photo(100, 0, 100, 41);
    const GreyPicture picture = Grey(shapes);
    const InkShape disc = MeasureInk(picture, 0, 0, 41, 41);
    EXPECT_GT(disc.solidShare, 0.9);
    // Tesseract is sure of a disc the size of type: "@".
    EXPECT_TRUE(IsPictureFragment(disc, "@", 93, 35));
    const InkShape ring = MeasureInk(picture, 50, 0, 41, 41);
    EXPECT_TRUE(ring.spanned);
    EXPECT_EQ(ring.pieces, 1);
    EXPECT_GT(ring.enclosedShare, 0.35);
    EXPECT_TRUE(IsPictureFragment(ring, "\u00a9", 95, 35));  // ©
    EXPECT_FALSE(IsPictureFragment(ring, "O", 95, 35));      // a letter's ink, for all we know
    const InkShape halftone = MeasureInk(picture, 100, 0, 100, 41);
    EXPECT_GT(halftone.pieces, 100);
    EXPECT_TRUE(IsPictureFragment(halftone, "Wm", 60, 35));
    EXPECT_FALSE(IsPictureFragment(halftone, "Wm", 90, 35));

    // A photograph in grey: middle tones.
    GreyPicture photo{64, 32, std::vector<std::uint8_t>(64 * 32)};
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x)
            photo.pixels[static_cast<std::size_t>(y) * 64 + x] = static_cast<std::uint8_t>(x * 4);
    }
    EXPECT_GT(MeasureInk(photo, 0, 0, 64, 32).greyShare, 0.35);
    // Boxes beyond the picture are clipped; a box of one tone holds no ink.
    EXPECT_EQ(MeasureInk(photo, 60, 30, 100, 100).pieces, 0);
    EXPECT_EQ(MeasureInk(picture, -10, -10, 5, 5).height, 0);
}

TEST(PictureFragmentsTest, ShapesLeaveNothingInTheTextLayerAndWordsStay) {
    const TempFolder folder;
    std::vector<std::string> drawn;
    std::vector<std::vector<Rect>> shapes(2);
    std::vector<tools::BilevelPage> pages;
    for (unsigned seed : {3u, 4u})
        pages.push_back(ShapesPage(seed, drawn, shapes[pages.size()]));
    tools::WriteScan(folder / "shapes.tif", pages);
    const TextLayer text(Document::Open(folder / "shapes.tif"));

    std::map<std::string, int> read;
    for (int page = 0; page < 2; ++page) {
        ASSERT_GE(shapes[page].size(), 9u);
        for (const Word& word : text.Words(page)) {
            ++read[FoldWord(word.text)];
            for (const Rect& shape : shapes[page]) {
                EXPECT_FALSE(shape.Overlaps(word.left, word.top, word.width, word.height))
                    << "page " << page + 1 << ": \"" << word.text << "\" at " << word.left << ","
                    << word.top << " " << word.width << "x" << word.height;
            }
        }
    }
    std::size_t kept = 0;
    for (const std::string& word : drawn) {
        if (read[word] > 0) {
            --read[word];
            ++kept;
        }
    }
    const double share = static_cast<double>(kept) / drawn.size();
    std::printf("words kept: %zu of %zu (%.2f%%)\n", kept, drawn.size(), 100 * share);
    EXPECT_GE(share, 0.99);
}

}  // namespace
}  // namespace vellumark::imaging
