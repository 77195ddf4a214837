#include "epub/FixedLayoutPage.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/Utf8.h"
#include "epub/BlankFont.h"
#include "epub/FileOutput.h"

namespace vellumark::epub {
namespace {

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++count)
        at += DecodeUtf8(text, at).length;
    return count;
}

// The lines of text an MDI file stores have no place on the page: they are laid out evenly
// from top to bottom, in a size that keeps them within the page.
void SpreadOverPage(std::vector<PlacedWord>& placed, int pictureWidth, int pictureHeight) {
    int lines = 0;
    for (const PlacedWord& word : placed)
        lines = std::max(lines, word.line + 1);
    const double step = static_cast<double>(pictureHeight) / std::max(lines, 1);
    const double size = std::max(1.0, std::min(step * 0.8, pictureHeight / 40.0));
    for (PlacedWord& word : placed) {
        word.left = pictureWidth * 0.05;
        word.top = word.line * step + (step - size) / 2;
        word.height = size;
        word.width = 0;  // natural width
    }
}

// Inline style of one word: each of its characters (and the space after it) advances its box
// width divided by its length. The second letter-spacing measures the font actually used
// (1ch), so a reading system that refuses the blank font still puts the word on its box.
std::string WordStyle(const PlacedWord& word, double fontSize, const PlacedWord* next) {
    if (word.width <= 0)
        return {};
    const double pitch = word.width / static_cast<double>(CharacterCount(word.text));
    std::string style = "letter-spacing:" + CssPixels(pitch - kBlankFontAdvance * fontSize) +
                        "px;letter-spacing:calc(" + CssPixels(pitch) + "px - 1ch)";
    if (next != nullptr)
        style += ";word-spacing:" + CssPixels(next->left - (word.left + word.width) - pitch) + "px";
    return style;
}

void AppendLine(std::string& out, std::vector<PlacedWord>::const_iterator first,
                std::vector<PlacedWord>::const_iterator last) {
    double top = first->top, bottom = first->top + first->height;
    for (auto it = first; it != last; ++it) {
        top = std::min(top, it->top);
        bottom = std::max(bottom, it->top + it->height);
    }
    // The blank font's content area is one em: the font size is the line's height.
    const double fontSize = std::max(bottom - top, 1.0);
    out += "<span class=\"l\" style=\"left:" + CssPixels(first->left) + "px;top:" + CssPixels(top) +
           "px;font-size:" + CssPixels(fontSize) + "px\">";
    for (auto it = first; it != last; ++it) {
        const PlacedWord* next = it + 1 != last ? &*(it + 1) : nullptr;
        const std::string style = WordStyle(*it, fontSize, next);
        out += style.empty() ? "<span>" : "<span style=\"" + style + "\">";
        out += EscapeXmlText(it->text);
        if (next != nullptr)
            out += ' ';  // inside the word, so its width is the gap's to set
        out += "</span>";
    }
    out += "</span>";
}

}  // namespace

std::string CssPixels(double value) {
    if (!std::isfinite(value) || std::abs(value) < 0.005)
        return "0";
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    return text;
}

std::vector<PlacedWord> PlaceWords(const std::vector<imaging::Word>& words, int boxWidth,
                                   int boxHeight, int pictureWidth, int pictureHeight) {
    std::vector<PlacedWord> placed;
    const bool boxed =
        std::all_of(words.begin(), words.end(), [](const imaging::Word& w) { return w.hasBox; }) &&
        boxWidth > 0 && boxHeight > 0;
    const double sx = boxed ? static_cast<double>(pictureWidth) / boxWidth : 1;
    const double sy = boxed ? static_cast<double>(pictureHeight) / boxHeight : 1;
    for (const imaging::Word& word : words) {
        if (word.text.empty())
            continue;
        placed.push_back({word.text, word.left * sx, word.top * sy, std::max(word.width, 1) * sx,
                          std::max(word.height, 1) * sy, word.block, word.line});
    }
    if (!boxed)
        SpreadOverPage(placed, pictureWidth, pictureHeight);
    return placed;
}

std::string TextLayerMarkup(const std::vector<PlacedWord>& words) {
    if (words.empty())
        return {};
    std::string out = "<div class=\"ocr\">\r\n";
    for (auto line = words.begin(); line != words.end();) {
        // A block's lines share a paragraph; the line break between them reads as a space.
        const int block = line->block;
        out += "<p>";
        bool firstLine = true;
        while (line != words.end() && line->block == block) {
            auto end = std::find_if(line, words.end(), [&](const PlacedWord& w) {
                return w.block != block || w.line != line->line;
            });
            if (!firstLine)
                out += "\r\n";
            AppendLine(out, line, end);
            firstLine = false;
            line = end;
        }
        out += "</p>\r\n";
    }
    return out + "</div>\r\n";
}

std::string FixedPageText(const FixedPage& page, std::string_view textLayer,
                          std::string_view stylesheet, std::string_view languageTag) {
    const std::string lang = EscapeXmlAttribute(languageTag);
    const std::string title = EscapeXmlAttribute(page.title);
    const std::string width = std::to_string(page.width);
    const std::string height = std::to_string(page.height);
    std::string text;
    const auto line = [&text](const std::string& content) { text += content + "\r\n"; };
    line("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    line("<!DOCTYPE html>");
    line("<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"" + lang + "\" lang=\"" + lang +
         "\">");
    line("<head>");
    line("<meta charset=\"UTF-8\"/>");
    line("<title>" + title + "</title>");
    line("<meta name=\"viewport\" content=\"width=" + width + ", height=" + height + "\"/>");
    line("<link rel=\"stylesheet\" type=\"text/css\" href=\"" + EscapeXmlAttribute(stylesheet) +
         "\"/>");
    line("</head>");
    line("<body>");
    line("<div class=\"page\" style=\"width:" + width + "px;height:" + height + "px\">");
    line("<img class=\"scan\" src=\"" + EscapeXmlAttribute(page.pictureName) + "\" width=\"" +
         width + "\" height=\"" + height + "\" alt=\"" + title + "\"/>");
    text += textLayer;
    line("</div>");
    line("</body>");
    line("</html>");
    return text;
}

}  // namespace vellumark::epub
