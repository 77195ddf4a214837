#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "common/Error.h"
#include "tools/SampleScan.h"

namespace vellumark::tools {
namespace {

const std::filesystem::path kDefaultFont = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

struct LibraryDeleter {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using LibraryPtr = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryDeleter>;
using FacePtr = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceDeleter>;

class Font {
public:
    explicit Font(const std::filesystem::path& path) {
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library) != 0) {
            throw Error(ErrorCode::Internal, "FreeType cannot start");
        }
        library_.reset(library);
        FT_Face face = nullptr;
        if (FT_New_Face(library_.get(), path.c_str(), 0, &face) != 0) {
            throw Error(ErrorCode::Io, "cannot load the font " + path.string(), path);
        }
        face_.reset(face);
    }

    FT_Face Face() const { return face_.get(); }

    void SetSize(double points, int dpi) const {
        FT_Set_Char_Size(face_.get(), 0, static_cast<FT_F26Dot6>(std::lround(points * 64)), dpi,
                         dpi);
    }

    // Horizontal advance of a code point in pixels (26.6 fixed point), 0 when it has no glyph.
    FT_Pos Advance(char32_t code) const {
        if (FT_Load_Char(face_.get(), code, FT_LOAD_DEFAULT) != 0)
            return 0;
        return face_->glyph->advance.x;
    }

private:
    // Declared first so that it is destroyed last: a face belongs to its library.
    LibraryPtr library_;
    FacePtr face_;
};

// Decodes UTF-8, replacing malformed bytes with U+FFFD rather than failing.
std::u32string DecodeUtf8(const std::string& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= text.size()) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        char32_t code = extra == 0 ? c : c & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                ok = false;
            code = (code << 6) | (next & 0x3F);
        }
        out.push_back(ok ? code : U'\uFFFD');
        i += ok ? extra + 1 : 1;
    }
    return out;
}

FT_Pos TextWidth(const Font& font, const std::string& text) {
    FT_Pos width = 0;
    for (char32_t code : DecodeUtf8(text))
        width += font.Advance(code);
    return width;
}

void DrawLine(const Font& font, const std::u32string& text, int penX, int baseline, int right,
              int bottom, BilevelPage& page) {
    FT_Face face = font.Face();
    FT_Pos pen = static_cast<FT_Pos>(penX) * 64;
    for (char32_t code : text) {
        if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int originX = static_cast<int>(pen >> 6) + slot->bitmap_left;
        const int originY = baseline - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const int y = originY + static_cast<int>(row);
            if (y < 0 || y >= bottom)
                continue;
            const unsigned char* src =
                bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const int x = originX + static_cast<int>(col);
                if (x < 0 || x >= right)
                    continue;
                // Threshold the anti-aliased coverage, as a bilevel scanner would.
                if (src[col] >= 128)
                    page.SetBlack(x, y);
            }
        }
        pen += slot->advance.x;
    }
}

}  // namespace

BilevelPage RenderPage(const std::vector<TextLine>& lines, const PageLayout& layout) {
    if (layout.width <= 0 || layout.height <= 0 || layout.dpi <= 0) {
        throw Error(ErrorCode::Usage, "page size and resolution must be positive");
    }
    BilevelPage page;
    page.width = layout.width;
    page.height = layout.height;
    page.bits.assign(static_cast<std::size_t>(page.Stride()) * page.height, 0);

    const Font font(layout.font.empty() ? kDefaultFont : layout.font);
    const int right = std::max(0, layout.width - layout.margin);
    const int bottom = std::max(0, layout.height - layout.margin);
    double top = layout.margin;
    for (const TextLine& line : lines) {
        const double pixels = line.points * layout.dpi / 72.0;
        font.SetSize(line.points, layout.dpi);
        const int baseline = static_cast<int>(std::lround(top + pixels));
        if (baseline > bottom)
            break;
        DrawLine(font, DecodeUtf8(line.text), layout.margin, baseline, right, bottom, page);
        top += pixels * layout.lineSpacing;
    }

    std::mt19937 random(layout.seed);
    for (int i = 0; i < layout.specks; ++i) {
        const int x = static_cast<int>(random() % static_cast<unsigned>(layout.width - 2));
        const int y = static_cast<int>(random() % static_cast<unsigned>(layout.height - 2));
        const int size = 1 + static_cast<int>(random() % 2);
        for (int dy = 0; dy < size; ++dy) {
            for (int dx = 0; dx < size; ++dx)
                page.SetBlack(x + dx, y + dy);
        }
    }
    return page;
}

BilevelPage RenderWords(const std::vector<imaging::Word>& words, int width, int height,
                        double scale, const PageLayout& layout) {
    BilevelPage page;
    page.width = static_cast<int>(std::lround(width * scale));
    page.height = static_cast<int>(std::lround(height * scale));
    page.bits.assign(static_cast<std::size_t>(page.Stride()) * page.height, 0);
    const Font font(layout.font.empty() ? kDefaultFont : layout.font);
    for (const imaging::Word& word : words) {
        // A box's height spans ascenders to descenders: about 1.2 of the type size; a little
        // smaller still keeps a word within the width its box was given.
        const double pixels = word.height * scale / 1.3;
        font.SetSize(pixels * 72.0 / layout.dpi, layout.dpi);
        const int baseline = static_cast<int>(std::lround((word.top + word.height * 0.78) * scale));
        DrawLine(font, DecodeUtf8(word.text), static_cast<int>(std::lround(word.left * scale)),
                 baseline, page.width, page.height, page);
    }
    return page;
}

std::vector<TextLine> WrapParagraph(const std::string& text, double points,
                                    const PageLayout& layout) {
    const Font font(layout.font.empty() ? kDefaultFont : layout.font);
    font.SetSize(points, layout.dpi);
    const FT_Pos limit = static_cast<FT_Pos>(layout.width - 2 * layout.margin) * 64;
    const FT_Pos space = font.Advance(U' ');

    std::vector<TextLine> lines;
    std::string current;
    FT_Pos width = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        start = end + 1;
        if (word.empty())
            continue;
        const FT_Pos wordWidth = TextWidth(font, word);
        if (!current.empty() && width + space + wordWidth > limit) {
            lines.push_back({current, points});
            current.clear();
            width = 0;
        }
        if (!current.empty()) {
            current += ' ';
            width += space;
        }
        current += word;
        width += wordWidth;
    }
    if (!current.empty())
        lines.push_back({current, points});
    return lines;
}

}  // namespace vellumark::tools
