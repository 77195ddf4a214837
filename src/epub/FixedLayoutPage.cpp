#include "epub/FixedLayoutPage.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/Utf8.h"
#include "epub/BlankFont.h"
#include "epub/FileOutput.h"

namespace vellumark::epub {
namespace {

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

// The number as an SVG attribute value.
std::string Number(double value) {
    return CssPixels(value);
}

// One line of words: a text element whose baseline lies where the blank font puts it in a line
// box as high as the line (ascent 0.8 em), and a tspan per word that starts at the word's left
// edge and is stretched, glyphs and all, to the word's width. Stretching, not spacing, keeps
// each word on its ink whatever font a reading system ends up using.
void AppendLine(std::string& out, std::vector<PlacedWord>::const_iterator first,
                std::vector<PlacedWord>::const_iterator last) {
    double top = first->top, bottom = first->top + first->height;
    for (auto it = first; it != last; ++it) {
        top = std::min(top, it->top);
        bottom = std::max(bottom, it->top + it->height);
    }
    const double fontSize = std::max(bottom - top, 1.0);
    out += "<text x=\"" + Number(first->left) + "\" y=\"" +
           Number(top + kBlankFontAscent * fontSize) + "\" font-size=\"" + Number(fontSize) + "\">";
    for (auto it = first; it != last; ++it) {
        if (it != first)
            out += ' ';
        out += "<tspan x=\"" + Number(it->left) + "\"";
        if (it->width > 0) {
            // The spacing makes the blank font's word as wide as its box on its own, so that
            // a browser measuring the text without the stretch (ranges, search highlights)
            // still finds it there.
            const double pitch = it->width / static_cast<double>(CharacterCount(it->text));
            out += " letter-spacing=\"" + Number(pitch - kBlankFontAdvance * fontSize) +
                   "\" textLength=\"" + Number(it->width) + "\" lengthAdjust=\"spacingAndGlyphs\"";
        }
        out += ">" + EscapeXmlText(it->text) + "</tspan>";
    }
    out += "</text>\r\n";
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
    // Some readers (FBReader) show neither SVG nor styles and print every character of the
    // body after the picture; they stop at the end of any element named body. SVG's desc may
    // hold elements of other vocabularies and is never drawn, so an empty body of our own
    // vocabulary there, ahead of the words, ends the page for them and for no one else.
    std::string out = "<g class=\"ocr\">\r\n<desc><body xmlns=\"" +
                      std::string(kTextLayerNamespace) + "\"/></desc>\r\n";
    for (auto line = words.begin(); line != words.end();) {
        auto end = std::find_if(line, words.end(), [&](const PlacedWord& w) {
            return w.block != line->block || w.line != line->line;
        });
        AppendLine(out, line, end);
        line = end;
    }
    return out + "</g>\r\n";
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
    // The view box scales the picture and the words over it as one, in every reading system,
    // whether it lays the page out at its own size or fits it into a reflowing column.
    line(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
        "version=\"1.1\" class=\"page\" viewBox=\"0 0 " +
        width + " " + height + "\" preserveAspectRatio=\"xMidYMid meet\">");
    line("<image width=\"" + width + "\" height=\"" + height + "\" xlink:href=\"" +
         EscapeXmlAttribute(page.pictureName) + "\" role=\"img\" aria-label=\"" + title + "\"/>");
    text += textLayer;
    line("</svg>");
    line("</body>");
    line("</html>");
    return text;
}

std::string WithPageBreak(const std::string& document, const std::string& label) {
    const std::string body = "<body>\r\n";
    const std::size_t at = document.find(body);
    if (at == std::string::npos)
        return document;
    std::string marked = document;
    const std::string escaped = EscapeXmlAttribute(label);
    marked.insert(at + body.size(),
                  "<span xmlns:epub=\"http://www.idpf.org/2007/ops\" epub:type=\"pagebreak\" "
                  "role=\"doc-pagebreak\" id=\"pagebreak\" title=\"" +
                      escaped + "\" aria-label=\"" + escaped + "\"></span>\r\n");
    return marked;
}

}  // namespace vellumark::epub
