#include "tools/ScannedSheet.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace vellumark::tools {

imaging::GreyPicture ScanSheet(const BilevelPage& page, const SheetOptions& options) {
    imaging::GreyPicture sheet;
    sheet.width = page.width;
    sheet.height = page.height;
    sheet.pixels.assign(static_cast<std::size_t>(page.width) * page.height, 255);
    const double angle = options.degrees * std::numbers::pi / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    const double cx = page.width / 2.0, cy = page.height / 2.0;
    // Each sheet pixel averages 3 x 3 points of the page turned back: edges come out grey, as
    // a scanner's optics make them.
    constexpr int kSub = 3;
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x) {
            int black = 0;
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    const double dx = x + (sx + 0.5) / kSub - cx;
                    const double dy = y + (sy + 0.5) / kSub - cy;
                    // Turned clockwise by the angle on the sheet: the page point is the sheet
                    // point turned back.
                    const double px = c * dx + s * dy + cx, py = -s * dx + c * dy + cy;
                    const int ix = static_cast<int>(std::floor(px));
                    const int iy = static_cast<int>(std::floor(py));
                    if (ix >= 0 && iy >= 0 && ix < page.width && iy < page.height &&
                        page.Black(ix, iy))
                        ++black;
                }
            }
            sheet.pixels[static_cast<std::size_t>(y) * page.width + x] =
                static_cast<std::uint8_t>(255 - black * 255 / (kSub * kSub));
        }
    }
    std::mt19937 random(options.seed);
    std::normal_distribution<double> noise(0, options.grey ? 8 : 0);
    std::uniform_int_distribution<int> dark(20, 70);
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < sheet.width; ++x) {
            std::uint8_t& v = sheet.pixels[static_cast<std::size_t>(y) * sheet.width + x];
            const int edge = std::min({x, y, sheet.width - 1 - x, sheet.height - 1 - y});
            double value = v;
            if (edge < options.border)
                value = dark(random);
            if (options.gutterShadow > 0 && sheet.width - 1 - x < options.gutterShadow) {
                const double depth =
                    1.0 - static_cast<double>(sheet.width - 1 - x) / options.gutterShadow;
                value *= 1.0 - 0.8 * depth * depth;
            }
            if (options.grey)
                value += noise(random);
            v = static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
        }
    }
    if (options.grey) {
        // A little blur: each pixel with its right and lower neighbours.
        for (int y = 0; y + 1 < sheet.height; ++y) {
            for (int x = 0; x + 1 < sheet.width; ++x) {
                std::uint8_t* p =
                    sheet.pixels.data() + static_cast<std::size_t>(y) * sheet.width + x;
                p[0] = static_cast<std::uint8_t>((2 * p[0] + p[1] + p[sheet.width] + 2) / 4);
            }
        }
    } else {
        for (std::uint8_t& v : sheet.pixels)
            v = v < 128 ? 0 : 255;
    }
    return sheet;
}

std::vector<int> InkBox(const BilevelPage& page) {
    int left = page.width, top = page.height, right = 0, bottom = 0;
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x) {
            if (page.Black(x, y)) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x + 1);
                bottom = std::max(bottom, y + 1);
            }
        }
    }
    if (right == 0)
        return {0, 0, 0, 0};
    return {left, top, right, bottom};
}

BilevelPage Spread(const BilevelPage& left, const BilevelPage& right, int gutter) {
    BilevelPage sheet;
    sheet.width = left.width + gutter + right.width;
    sheet.height = std::max(left.height, right.height);
    sheet.bits.assign(static_cast<std::size_t>(sheet.Stride()) * sheet.height, 0);
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < left.width; ++x) {
            if (y < left.height && left.Black(x, y))
                sheet.SetBlack(x, y);
        }
        for (int x = 0; x < right.width; ++x) {
            if (y < right.height && right.Black(x, y))
                sheet.SetBlack(left.width + gutter + x, y);
        }
    }
    return sheet;
}

PageLayout SmallA4(unsigned seed) {
    PageLayout layout;
    layout.width = 1240;
    layout.height = 1754;
    layout.dpi = 150;
    layout.margin = 150;
    layout.seed = seed;
    return layout;
}

BilevelPage TextPage(const PageLayout& layout, int words, double points) {
    return RenderPage(WrapParagraph(FillerText(layout.seed, words), points, layout), layout);
}

BilevelPage ToBilevel(const imaging::GreyPicture& sheet) {
    BilevelPage page;
    page.width = sheet.width;
    page.height = sheet.height;
    page.bits.assign(static_cast<std::size_t>(page.Stride()) * page.height, 0);
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < sheet.width; ++x) {
            if (sheet.pixels[static_cast<std::size_t>(y) * sheet.width + x] < 128)
                page.SetBlack(x, y);
        }
    }
    return page;
}

BilevelPage TurnedQuarter(const BilevelPage& page) {
    BilevelPage turned;
    turned.width = page.height;
    turned.height = page.width;
    turned.bits.assign(static_cast<std::size_t>(turned.Stride()) * turned.height, 0);
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x) {
            if (page.Black(x, y))
                turned.SetBlack(page.height - 1 - y, x);
        }
    }
    return turned;
}

std::vector<BilevelPage> ScannedBook(int pages, const PageLayout& layout) {
    static constexpr double kAngles[] = {-2.4, 1.3, 0, 3.7, -0.6, 5.2, -4.1, 0.35};
    std::vector<BilevelPage> book;
    PageLayout page = layout;
    for (int i = 0; i < std::max(pages, 4); ++i) {
        page.seed = layout.seed + static_cast<unsigned>(i);
        SheetOptions sheet;
        sheet.seed = page.seed;
        sheet.degrees = kAngles[static_cast<std::size_t>(i) % std::size(kAngles)];
        sheet.border = layout.dpi / 8;
        if (i == 2) {
            // Two facing pages on one landscape sheet, dark towards the fold of the right one.
            PageLayout facing = page;
            facing.seed = page.seed + 1000;
            sheet.gutterShadow = layout.dpi / 5;
            BilevelPage left = ToBilevel(ScanSheet(TextPage(page), sheet));
            sheet.gutterShadow = 0;
            book.push_back(Spread(left, TextPage(facing), layout.dpi / 10));
        } else if (i == 3) {
            book.push_back(TurnedQuarter(TextPage(page)));
        } else if (i == 4) {
            book.push_back(TurnedQuarter(TurnedQuarter(TextPage(page))));
        } else {
            book.push_back(ToBilevel(ScanSheet(TextPage(page), sheet)));
        }
    }
    return book;
}

}  // namespace vellumark::tools
