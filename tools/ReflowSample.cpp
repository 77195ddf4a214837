#include "tools/ReflowSample.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "imaging/text/WordMatch.h"
#include "tools/TypesetPage.h"

namespace vellumark::tools {
namespace {

using namespace typeset;
constexpr int kIndent = 48;
constexpr const char* kBookHead = "THE SILENT HARBOUR";

constexpr std::array<const char*, 40> kVocabulary = {
    "the",      "harbour",   "was",        "quiet",     "and",       "evening",   "light",
    "fell",     "over",      "water",      "where",     "fishermen", "waited",    "for",
    "tide",     "while",     "lanterns",   "flickered", "above",     "old",       "keeper",
    "walked",   "carefully", "along",      "shoreline", "northern",  "weathered", "remembered",
    "beneath",  "wandering", "mysterious", "horizon",   "afternoon", "together",  "whispering",
    "currents", "distant",   "lighthouse", "boats",     "gulls"};
constexpr std::array<const char*, 5> kCompounds = {"well-known", "sea-worn", "half-hidden",
                                                   "long-forgotten", "storm-tossed"};

int WidthOf(const std::string& word) {
    return static_cast<int>(word.size()) * kBody / 2;
}

class Random {
public:
    std::uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 16;
    }

private:
    std::uint32_t state_ = 2024;
};

// A paragraph of sentences of 6 to 13 words, a compound now and then.
std::vector<std::string> Paragraph(Random& random, int sentences) {
    std::vector<std::string> words;
    for (int s = 0; s < sentences; ++s) {
        const int length = 6 + static_cast<int>(random.Next() % 8);
        for (int w = 0; w < length; ++w) {
            std::string word = random.Next() % 11 == 0
                                   ? kCompounds[random.Next() % kCompounds.size()]
                                   : kVocabulary[random.Next() % kVocabulary.size()];
            if (w == 0)
                word[0] = static_cast<char>(word[0] - 'a' + 'A');
            if (w + 1 == length)
                word += '.';
            else if (random.Next() % 9 == 0)
                word += ',';
            words.push_back(word);
        }
    }
    return words;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

class Typesetter {
public:
    explicit Typesetter(ReflowSample& sample) : sample_(sample) {}

    void NewPage(bool head) {
        sample_.pages.emplace_back();
        const int n = static_cast<int>(sample_.pages.size());
        sample_.labels.push_back(std::to_string(n));
        block_ = 0;
        line_ = 0;
        const std::string folio = std::to_string(n);
        if (head) {
            // The head centred, the folio in the outer corner of its line.
            Line(imaging::SplitWords(kBookHead), (sample_.width - WidthOf(kBookHead)) / 2, kHeadY,
                 kBody, 0);
            sample_.runningHeads.push_back(kBookHead);
            ++block_;
            Line({folio}, n % 2 == 0 ? kLeft : kRight - WidthOf(folio), kHeadY, kBody, 0);
        } else {
            // An opener's folio stands at the foot.
            Line({folio}, (sample_.width - WidthOf(folio)) / 2, kFootY, kBody, 0);
        }
        ++block_;
        y_ = kTextTop;
    }

    void Heading(const std::string& text, int level, int size) {
        const int width = static_cast<int>(text.size()) * size / 2;
        if (y_ + 3 * size + 4 * kPitch > bottom_)
            Overflow();
        y_ += kBody;
        Line(imaging::SplitWords(text), (sample_.width - width) / 2, y_, size, size / 2);
        y_ += size + kBody / 2;
        ++block_;
        sample_.blocks.push_back({SampleBlock::Kind::Heading, level, text});
        afterHeading_ = true;
    }

    // Sets a paragraph justified between left and right, hyphenating long words at line ends,
    // going on to a new page (with a head) or to the column to the right when it runs out.
    void Set(const std::vector<std::string>& words) {
        sample_.blocks.push_back({SampleBlock::Kind::Paragraph, 0, Joined(words)});
        bool first = !afterHeading_;
        afterHeading_ = false;
        std::size_t next = 0;
        std::string carry;
        while (next < words.size() || !carry.empty()) {
            if (y_ + kBody > bottom_)
                Overflow();
            const int indent = first ? kIndent : 0;
            first = false;
            const int measure = right_ - left_ - indent;
            std::vector<std::string> line;
            int width = 0;
            const auto fits = [&](const std::string& word) {
                return width + (line.empty() ? 0 : kBody / 2) + WidthOf(word) <= measure;
            };
            if (!carry.empty()) {
                line.push_back(carry);
                width = WidthOf(carry);
                carry.clear();
            }
            while (next < words.size() && fits(words[next])) {
                width += (line.empty() ? 0 : kBody / 2) + WidthOf(words[next]);
                line.push_back(words[next++]);
            }
            bool last = next == words.size();
            if (!last)
                Hyphenate(words[next], line, width, measure, carry, next);
            last = next == words.size() && carry.empty();
            int gap = kBody / 2;
            int extra = 0;
            // Justified, unless the spaces would open into gaps a reader takes for columns.
            if (!last && line.size() > 1 &&
                (measure - width) / static_cast<int>(line.size() - 1) <= kBody) {
                const int room = measure - width;
                gap += room / static_cast<int>(line.size() - 1);
                extra = room % static_cast<int>(line.size() - 1);
            }
            int x = left_ + indent;
            for (std::size_t i = 0; i < line.size(); ++i) {
                Word(line[i], x, y_, kBody);
                x += WidthOf(line[i]) + gap + (static_cast<int>(i) < extra ? 1 : 0);
            }
            ++line_;
            y_ += kPitch;
        }
    }

    void Figure(int height, const std::string& caption) {
        if (y_ + height + 3 * kPitch > bottom_)
            Overflow();
        const int width = 600;
        const int left = (sample_.width - width) / 2;
        y_ += kBody;
        const int page = static_cast<int>(sample_.pages.size()) - 1;
        sample_.figures.push_back({page, left, y_, width, height, caption});
        y_ += height + kBody;
        ++block_;
        Line(imaging::SplitWords(caption), (sample_.width - WidthOf(caption)) / 2, y_, kBody,
             kBody / 2);
        sample_.blocks.push_back({SampleBlock::Kind::Caption, 0, caption});
        y_ += kPitch + kBody;
        ++block_;
        afterHeading_ = true;
    }

    // A table of rows of cells set in three columns, its title above.
    void Table(const std::string& title, const std::vector<std::array<std::string, 3>>& rows) {
        if (y_ + static_cast<int>(rows.size() + 3) * kPitch > bottom_)
            Overflow();
        y_ += kBody;
        Line(imaging::SplitWords(title), left_, y_, kBody, kBody / 2);
        sample_.blocks.push_back({SampleBlock::Kind::Paragraph, 0, title});
        y_ += kPitch + kBody / 2;
        ++block_;
        for (const auto& row : rows) {
            for (int c = 0; c < 3; ++c)
                Word(row[static_cast<std::size_t>(c)], left_ + 100 + 250 * c, y_, kBody);
            ++line_;
            sample_.blocks.push_back(
                {SampleBlock::Kind::Paragraph, 0, row[0] + " " + row[1] + " " + row[2]});
            y_ += kPitch;
        }
        y_ += kBody;
        ++block_;
        afterHeading_ = true;
    }

    void TwoColumns() {
        columns_ = true;
        right_ = 560;
        y_ += kBody;
        columnTop_ = y_;
    }
    void Space(int pixels) { y_ += pixels; }

private:
    void Word(const std::string& text, int x, int y, int size) {
        sample_.pages.back().push_back(
            {text, x, y, WidthOf(text) * size / kBody, size, true, block_, line_});
    }
    void Line(const std::vector<std::string>& words, int x, int y, int size, int space) {
        for (const std::string& word : words) {
            Word(word, x, y, size);
            x += static_cast<int>(word.size()) * size / 2 + std::max(space, size / 2);
        }
        ++line_;
    }
    void Overflow() {
        ++block_;
        if (columns_ && left_ == kLeft) {
            left_ = 640;
            right_ = kRight;
            y_ = columnTop_;
            return;
        }
        columns_ = false;
        left_ = kLeft;
        right_ = kRight;
        NewPage(true);
        columnTop_ = y_;
    }
    // Breaks `word` at the line's end when a piece of it fits: a compound at its hyphen, a long
    // word after its third letter or later; the rest starts the next line.
    void Hyphenate(const std::string& word, std::vector<std::string>& line, int& width, int measure,
                   std::string& carry, std::size_t& next) {
        const auto room = [&](const std::string& piece) {
            return width + (line.empty() ? 0 : kBody / 2) + WidthOf(piece) <= measure;
        };
        const std::size_t hyphen = word.find('-');
        if (hyphen != std::string::npos) {
            const std::string head = word.substr(0, hyphen + 1);
            if (room(head)) {
                width += kBody / 2 + WidthOf(head);
                line.push_back(head);
                carry = word.substr(hyphen + 1);
                sample_.brokenCompounds.push_back(word);
                ++next;
            }
            return;
        }
        std::size_t letters = word.size();
        while (letters > 0 && (word[letters - 1] == '.' || word[letters - 1] == ','))
            --letters;
        if (letters < 7)
            return;
        for (std::size_t cut = letters - 3; cut >= 3; --cut) {
            const std::string head = word.substr(0, cut) + "-";
            if (room(head)) {
                width += kBody / 2 + WidthOf(head);
                line.push_back(head);
                carry = word.substr(cut);
                sample_.brokenWords.push_back(word);
                ++next;
                return;
            }
        }
    }

    ReflowSample& sample_;
    int block_ = 0, line_ = 0;
    int y_ = kTextTop;
    int left_ = kLeft, right_ = kRight;
    int bottom_ = kTextBottom;
    int columnTop_ = kTextTop;
    bool columns_ = false;
    bool afterHeading_ = false;
};

}  // namespace

ReflowSample TypesetReflowSample() {
    ReflowSample sample;
    Typesetter set(sample);
    Random random;
    // Chapter 1 opens low on its page, with no running head.
    set.NewPage(false);
    set.Space(200);
    set.Heading("Chapter 1", 1, 40);
    set.Heading("The Harbour", 1, 48);
    sample.blocks.pop_back();
    sample.blocks.back().text = "Chapter 1: The Harbour";
    for (int p = 0; p < 4; ++p)
        set.Set(Paragraph(random, 9 + p % 5));
    set.Heading("1.1 The Keeper's Log", 2, 28);
    for (int p = 0; p < 3; ++p)
        set.Set(Paragraph(random, 8 + p % 4));
    set.Figure(350, "Figure 1. The lighthouse seen from the north.");
    for (int p = 0; p < 4; ++p)
        set.Set(Paragraph(random, 9 + p % 5));
    set.Table("Table 1. Tides in the harbour", {{{"Monday", "morning", "low"},
                                                 {"Tuesday", "evening", "high"},
                                                 {"Friday", "noon", "rising"}}});
    set.Set(Paragraph(random, 6));
    // Chapter 2 in two columns.
    set.NewPage(false);
    set.Space(100);
    set.Heading("Chapter 2", 1, 40);
    set.Heading("The Crossing", 1, 48);
    sample.blocks.pop_back();
    sample.blocks.back().text = "Chapter 2: The Crossing";
    set.TwoColumns();
    for (int p = 0; p < 5; ++p)
        set.Set(Paragraph(random, 7 + p % 3));
    return sample;
}

std::vector<BilevelPage> RenderReflowSample(const ReflowSample& sample, double scale) {
    std::vector<BilevelPage> pages;
    for (std::size_t p = 0; p < sample.pages.size(); ++p) {
        BilevelPage page = RenderWords(sample.pages[p], sample.width, sample.height, scale);
        for (const SampleFigure& figure : sample.figures) {
            if (figure.page != static_cast<int>(p))
                continue;
            // A frame, a sun and rays: line art with no letters in it.
            const int x0 = static_cast<int>(figure.left * scale);
            const int y0 = static_cast<int>(figure.top * scale);
            const int x1 = static_cast<int>((figure.left + figure.width) * scale);
            const int y1 = static_cast<int>((figure.top + figure.height) * scale);
            const int thick = static_cast<int>(3 * scale);
            const double cx = (x0 + x1) / 2.0, cy = (y0 + y1) / 2.0;
            const double radius = (y1 - y0) / 5.0;
            for (int y = y0; y < y1 && y < page.height; ++y) {
                for (int x = x0; x < x1 && x < page.width; ++x) {
                    const bool frame =
                        x - x0 < thick || x1 - x <= thick || y - y0 < thick || y1 - y <= thick;
                    const double dx = x - cx, dy = y - cy;
                    const double r = std::sqrt(dx * dx + dy * dy);
                    const bool sun = r < radius;
                    const bool ray = r < 2.2 * radius && r > 1.3 * radius &&
                                     std::fmod(std::atan2(dy, dx) + 7 * std::numbers::pi,
                                               std::numbers::pi / 6) < 0.06;
                    const bool ground = y > y1 - (y1 - y0) / 6 && (x / thick + y / thick) % 5 == 0;
                    if (frame || sun || ray || ground)
                        page.SetBlack(x, y);
                }
            }
        }
        pages.push_back(std::move(page));
    }
    return pages;
}

}  // namespace vellumark::tools
