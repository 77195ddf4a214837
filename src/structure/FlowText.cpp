#include "structure/FlowText.h"

#include <algorithm>
#include <map>
#include <optional>

#include "imaging/text/WordMatch.h"
#include "structure/Dehyphenation.h"
#include "structure/RunningHeads.h"

namespace vellumark::structure {
namespace {

// In letter sizes of the book's text: how far in a paragraph's first line is set, and how far
// short of the measure its last line ends at least.
constexpr double kIndent = 0.8;
constexpr double kShortEnd = 2.0;
// Lines further apart than this many times the text's line pitch have a paragraph's space between.
constexpr double kParagraphGap = 1.5;
// Lines below a picture, within this many letter sizes, may be its caption.
constexpr double kCaptionReach = 2.5;
// A block with fewer lines than this takes its measure from a longer block beside it.
constexpr std::size_t kMeasureLines = 3;
// A line this many times wider than its letters would make it is a table's row.
constexpr double kSparse = 1.8;
// A heading is set short and apart: a line reaching across this share of its measure is text
// that only looked like one.
constexpr double kHeadingShare = 0.85;

struct Measure {
    int left = 0;
    int right = 0;
};

bool Overlaps(int a0, int a1, int b0, int b1) {
    return a0 < b1 && b0 < a1;
}

// The letter size of the text: the median over content lines of several words.
int TextSize(const std::vector<PageLines>& pages, const BookStructure& book) {
    std::vector<int> sizes;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        for (std::size_t i = 0; i < pages[p].lines.size(); ++i) {
            const TextLine& line = pages[p].lines[i];
            const bool margin = p < book.marginLines.size() && i < book.marginLines[p].size() &&
                                book.marginLines[p][i];
            if (!margin && line.hasBox && line.words.size() >= 3)
                sizes.push_back(line.size);
        }
    }
    if (sizes.empty())
        return 1;
    std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
    return std::max(1, sizes[sizes.size() / 2]);
}

// The distance from line to line in the text: the median over lines following one another in a
// block, no further apart than a few letter sizes.
int LinePitch(const std::vector<PageLines>& pages, int size) {
    std::vector<int> pitches;
    for (const PageLines& page : pages) {
        for (std::size_t i = 1; i < page.lines.size(); ++i) {
            const TextLine& above = page.lines[i - 1];
            const TextLine& line = page.lines[i];
            const int pitch = line.top - above.top;
            if (line.block == above.block && pitch > 0 && pitch < 3 * size)
                pitches.push_back(pitch);
        }
    }
    if (pitches.empty())
        return 2 * size;
    std::nth_element(pitches.begin(), pitches.begin() + pitches.size() / 2, pitches.end());
    return pitches[pitches.size() / 2];
}

// A running head's words without the folio beside it, when two or more remain.
std::vector<std::string> HeadCore(const std::string& text) {
    std::vector<std::string> words = imaging::SplitWords(text);
    const auto folio = [](const std::string& word) {
        return word.size() <= 3 ||
               std::any_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!words.empty() && folio(words.back()))
        words.pop_back();
    if (!words.empty() && folio(words.front()))
        words.erase(words.begin());
    return words.size() >= 2 ? words : std::vector<std::string>{};
}

// A margin line that carries a running head's words with a folio OCR misread ("A" for "4") is
// a running head too, though its text was seen once.
void MarkMisreadHeads(const BookStructure& book, const std::vector<PageLines>& pages,
                      std::vector<std::vector<bool>>& content) {
    std::vector<std::vector<std::string>> cores;
    for (const RunningHead& head : book.runningHeads) {
        std::vector<std::string> core = HeadCore(head.text);
        if (!core.empty() && std::find(cores.begin(), cores.end(), core) == cores.end())
            cores.push_back(std::move(core));
    }
    for (std::size_t p = 0; p < pages.size(); ++p) {
        for (int i : MarginLines(pages[p])) {
            const std::size_t at = static_cast<std::size_t>(i);
            if (content[p][at] && std::find(cores.begin(), cores.end(),
                                            HeadCore(pages[p].lines[at].text)) != cores.end())
                content[p][at] = false;
        }
    }
}

// The width of a letter (with its share of the spaces) in lines of text: the median over lines
// of several words.
double LetterWidth(const std::vector<PageLines>& pages, int size) {
    std::vector<double> widths;
    for (const PageLines& page : pages) {
        for (const TextLine& line : page.lines) {
            if (line.hasBox && line.words.size() >= 5)
                widths.push_back(static_cast<double>(line.right - line.left) / line.text.size());
        }
    }
    if (widths.empty())
        return size / 2.0;
    std::nth_element(widths.begin(), widths.begin() + widths.size() / 2, widths.end());
    return widths[widths.size() / 2];
}

// Each line's measure: the extent of its block, or of a longer block over it when its own has
// too few lines to tell an indent or a short line.
std::vector<Measure> Measures(const PageLines& page, const std::vector<bool>& content) {
    std::map<int, Measure> blocks;
    std::map<int, std::size_t> counts;
    for (std::size_t i = 0; i < page.lines.size(); ++i) {
        const TextLine& line = page.lines[i];
        if (!content[i])
            continue;
        auto [it, added] = blocks.try_emplace(line.block, Measure{line.left, line.right});
        it->second.left = std::min(it->second.left, line.left);
        it->second.right = std::max(it->second.right, line.right);
        ++counts[line.block];
    }
    std::vector<Measure> measures(page.lines.size());
    for (std::size_t i = 0; i < page.lines.size(); ++i) {
        const TextLine& line = page.lines[i];
        if (!content[i])
            continue;
        measures[i] = blocks[line.block];
        if (counts[line.block] >= kMeasureLines)
            continue;
        for (const auto& [block, measure] : blocks) {
            if (counts[block] >= kMeasureLines &&
                Overlaps(measure.left, measure.right, line.left, line.right)) {
                measures[i] = measure;
                break;
            }
        }
    }
    return measures;
}

bool StartsCaption(const TextLine& line) {
    if (line.words.empty())
        return false;
    const std::string first = LookupForm(line.words.front());
    return first == "figure" || first == "fig" || first == "table" || first == "plate" ||
           first == "illustration" || first == "map";
}

// "_" or "|": what OCR reads from a stroke or a wide space, never a word of the text.
bool IsStroke(const std::string& word) {
    return std::all_of(word.begin(), word.end(), [](char c) { return c == '_' || c == '|'; });
}

// The width of a line's first word, from the line's share of letters.
double FirstWordWidth(const TextLine& line) {
    if (line.words.empty() || line.text.empty())
        return 0;
    return static_cast<double>(line.right - line.left) * line.words.front().size() /
           line.text.size();
}

FlowItem ItemOf(FlowKind kind, int page) {
    FlowItem item;
    item.kind = kind;
    item.page = page;
    return item;
}

class FlowBuilder {
public:
    FlowBuilder(const BookLexicon& lexicon, int size, int pitch, double letterWidth)
        : lexicon_(lexicon), size_(size), pitch_(pitch), letterWidth_(letterWidth) {}

    // Wider than its letters and spaces would be set in a justified line of text.
    bool IsSparse(const TextLine& line) const {
        return line.words.size() >= 2 &&
               line.right - line.left >
                   kSparse * letterWidth_ * static_cast<double>(line.text.size());
    }

    void BeginPage(int page) {
        // A page that gave nothing ends the paragraph before it.
        if (pending_ >= 0)
            StartItem();
        pending_ = page;
    }

    // A line of text: continues the open paragraph or starts one.
    void AddLine(const TextLine& line, const Measure& measure, int page) {
        const bool indented = line.left - measure.left >= kIndent * size_;
        // The line before ended the paragraph when this line's first word would have fitted on it.
        const bool ended =
            lastRoom_ >= std::max(FirstWordWidth(line) + size_ / 2.0, kShortEnd * size_);
        // A table's row: words set far apart, a paragraph of its own.
        const bool sparse = IsSparse(line);
        bool fresh = !open_ || indented || ended || sparse || lastSparse_;
        if (open_ && page == lastPage_ && line.top > lastTop_ &&
            line.top - lastTop_ > kParagraphGap * pitch_)
            fresh = true;
        if (fresh) {
            StartItem();
            items_.push_back(ItemOf(FlowKind::Paragraph, page));
            open_ = true;
        }
        FlowItem& paragraph = items_.back();
        std::string& text = paragraph.text;
        std::size_t first = 0;
        if (!fresh && lastBroken_ && !line.words.empty()) {
            const std::string head = text.substr(lastWordAt_);
            text.resize(lastWordAt_);
            lastWordAt_ = text.size();
            text += lexicon_.Join(head, line.words.front());
            first = 1;
        }
        if (pending_ >= 0) {
            // Before the word the page begins with (after a word joined across the break).
            paragraph.pageMarks.push_back(
                {first == 1 ? text.size() : text.size() + (text.empty() ? 0 : 1), pending_});
            pending_ = -1;
        }
        for (std::size_t w = first; w < line.words.size(); ++w) {
            if (IsStroke(line.words[w]))
                continue;
            if (!text.empty())
                text += ' ';
            lastWordAt_ = text.size();
            text += line.words[w];
        }
        // A page whose first line gave no word (strokes only) begins at the paragraph's end.
        if (!paragraph.pageMarks.empty())
            paragraph.pageMarks.back().offset =
                std::min(paragraph.pageMarks.back().offset, text.size());
        lastBroken_ = !line.words.empty() && EndsBroken(line.words.back());
        lastRoom_ = measure.right - line.right;
        lastSparse_ = sparse;
        lastPage_ = page;
        lastTop_ = line.top;
    }

    void AddHeading(int page, int level, const std::string& title) {
        StartItem();
        FlowItem item = ItemOf(FlowKind::Heading, page);
        item.level = std::max(level, 1);
        item.text = title;
        items_.push_back(std::move(item));
    }

    void AddFigure(int page, int picture, std::string caption) {
        StartItem();
        FlowItem item = ItemOf(FlowKind::Figure, page);
        item.picture = picture;
        item.text = std::move(caption);
        items_.push_back(std::move(item));
    }

    std::vector<FlowItem> Finish() {
        StartItem();
        return std::move(items_);
    }

private:
    // Closes the open paragraph; a page that began since starts before the next item.
    void StartItem() {
        open_ = false;
        lastBroken_ = false;
        if (pending_ >= 0)
            items_.push_back(ItemOf(FlowKind::PageStart, pending_));
        pending_ = -1;
    }

    const BookLexicon& lexicon_;
    int size_;
    int pitch_;
    double letterWidth_;
    std::vector<FlowItem> items_;
    int pending_ = -1;  // a page that began and is not marked yet
    bool open_ = false;
    bool lastBroken_ = false;
    int lastRoom_ = 0;  // between the last line's end and its measure's
    bool lastSparse_ = false;
    int lastPage_ = -1, lastTop_ = 0;
    std::size_t lastWordAt_ = 0;
};

struct PagePicture {
    int index = 0;
    int anchor = 0;  // the line it stands before; the page's line count for its end
    std::vector<int> caption;
};

// Where each picture stands among the page's lines, and which lines are its caption.
std::vector<PagePicture> PlacePictures(const PageLines& page, const std::vector<bool>& content,
                                       const std::vector<PictureBox>& boxes, int size) {
    std::vector<PagePicture> placed;
    const int count = static_cast<int>(page.lines.size());
    std::vector<bool> taken(page.lines.size(), false);
    for (int b = 0; b < static_cast<int>(boxes.size()); ++b) {
        const PictureBox& box = boxes[static_cast<std::size_t>(b)];
        const int bottom = box.top + box.height;
        PagePicture picture{b, count, {}};
        const auto beside = [&](const TextLine& line) {
            return Overlaps(line.left, line.right, box.left, box.left + box.width);
        };
        // The caption: the block just below, else a "Table ..." line just above.
        for (int i = 0; i < count; ++i) {
            const TextLine& line = page.lines[static_cast<std::size_t>(i)];
            if (!content[static_cast<std::size_t>(i)] || taken[static_cast<std::size_t>(i)] ||
                !beside(line) || line.top < bottom - size ||
                line.top > bottom + kCaptionReach * size)
                continue;
            picture.caption.push_back(i);
            for (int j = i + 1; j < count; ++j) {
                const TextLine& next = page.lines[static_cast<std::size_t>(j)];
                const TextLine& above = page.lines[static_cast<std::size_t>(j - 1)];
                if (!content[static_cast<std::size_t>(j)] || next.block != line.block ||
                    next.top - above.bottom > size)
                    break;
                picture.caption.push_back(j);
            }
            break;
        }
        if (picture.caption.empty()) {
            for (int i = count - 1; i >= 0; --i) {
                const TextLine& line = page.lines[static_cast<std::size_t>(i)];
                if (content[static_cast<std::size_t>(i)] && !taken[static_cast<std::size_t>(i)] &&
                    beside(line) && line.bottom <= box.top + size &&
                    line.bottom >= box.top - kCaptionReach * size && StartsCaption(line)) {
                    picture.caption.push_back(i);
                    break;
                }
            }
        }
        for (int i : picture.caption)
            taken[static_cast<std::size_t>(i)] = true;
        // Before the first line at or below its top, beside it (its caption above counts).
        for (int i = 0; i < count; ++i) {
            const TextLine& line = page.lines[static_cast<std::size_t>(i)];
            const bool captionAbove =
                !picture.caption.empty() && picture.caption.front() == i && line.top < box.top;
            if (captionAbove ||
                (content[static_cast<std::size_t>(i)] && beside(line) && line.top >= box.top)) {
                picture.anchor = i;
                break;
            }
        }
        placed.push_back(std::move(picture));
    }
    return placed;
}

std::vector<FlowItem> FlowOfLines(const BookStructure& book, const std::vector<PageLines>& pages,
                                  const std::vector<std::vector<PictureBox>>& pictures) {
    // Which lines are content: not running heads or folios.
    std::vector<std::vector<bool>> content(pages.size());
    for (std::size_t p = 0; p < pages.size(); ++p) {
        content[p].assign(pages[p].lines.size(), true);
        for (std::size_t i = 0; i < pages[p].lines.size(); ++i) {
            if (p < book.marginLines.size() && i < book.marginLines[p].size() &&
                book.marginLines[p][i])
                content[p][i] = false;
        }
    }
    MarkMisreadHeads(book, pages, content);
    BookLexicon lexicon;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        bool broken = false;
        for (std::size_t i = 0; i < pages[p].lines.size(); ++i) {
            if (!content[p][i])
                continue;
            const TextLine& line = pages[p].lines[i];
            lexicon.AddLine(line.words, broken);
            broken = !line.words.empty() && EndsBroken(line.words.back());
        }
    }
    // The headings printed on each page, by their first line.
    std::vector<std::map<int, const Heading*>> headings(pages.size());
    for (const Heading& heading : book.pageHeadings) {
        if (heading.page >= 0 && heading.page < static_cast<int>(pages.size()) &&
            heading.firstLine >= 0)
            headings[static_cast<std::size_t>(heading.page)][heading.firstLine] = &heading;
    }

    const int size = TextSize(pages, book);
    const int pitch = LinePitch(pages, size);
    FlowBuilder flow(lexicon, size, pitch, LetterWidth(pages, size));
    static const std::vector<PictureBox> kNone;
    for (int p = 0; p < static_cast<int>(pages.size()); ++p) {
        const PageLines& page = pages[static_cast<std::size_t>(p)];
        std::vector<bool>& isContent = content[static_cast<std::size_t>(p)];
        flow.BeginPage(p);
        const std::vector<PictureBox>& boxes = static_cast<std::size_t>(p) < pictures.size()
                                                   ? pictures[static_cast<std::size_t>(p)]
                                                   : kNone;
        const std::vector<PagePicture> placed = PlacePictures(page, isContent, boxes, size);
        std::vector<bool> caption(page.lines.size(), false);
        for (const PagePicture& picture : placed) {
            for (int i : picture.caption)
                caption[static_cast<std::size_t>(i)] = true;
        }
        const auto figuresAt = [&](int anchor) {
            for (const PagePicture& picture : placed) {
                if (picture.anchor != anchor)
                    continue;
                std::string text;
                for (int i : picture.caption) {
                    if (!text.empty())
                        text += ' ';
                    text += page.lines[static_cast<std::size_t>(i)].text;
                }
                flow.AddFigure(p, picture.index, std::move(text));
            }
        };
        const std::vector<Measure> measures = Measures(page, isContent);
        const int count = static_cast<int>(page.lines.size());
        for (int i = 0; i < count; ++i) {
            figuresAt(i);
            const std::size_t at = static_cast<std::size_t>(i);
            if (!isContent[at] || caption[at])
                continue;
            const auto heading = headings[static_cast<std::size_t>(p)].find(i);
            if (heading != headings[static_cast<std::size_t>(p)].end() &&
                page.lines[at].right - page.lines[at].left <
                    kHeadingShare * (measures[at].right - measures[at].left)) {
                flow.AddHeading(p, heading->second->level, heading->second->title);
                const int last = std::min(heading->second->lastLine, count - 1);
                for (int j = i + 1; j <= last; ++j)
                    isContent[static_cast<std::size_t>(j)] = false;
                continue;
            }
            flow.AddLine(page.lines[at], measures[at], p);
        }
        figuresAt(count);
    }
    std::vector<FlowItem> items = flow.Finish();
    // The levels the book uses, made consecutive from 1: a book of parts and sections has h1
    // and h2, whatever its headings' ranks were.
    std::map<int, int> levels;
    for (const FlowItem& item : items) {
        if (item.kind == FlowKind::Heading)
            levels[item.level] = 0;
    }
    int level = 0;
    for (auto& [rank, value] : levels)
        value = std::min(++level, kDeepestFlowHeading);
    for (FlowItem& item : items) {
        if (item.kind == FlowKind::Heading)
            item.level = levels[item.level];
    }
    return items;
}

bool EndsSentence(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == '"' || text[end - 1] == '\'' || text[end - 1] == ')'))
        --end;
    return end > 0 && (text[end - 1] == '.' || text[end - 1] == '!' || text[end - 1] == '?' ||
                       text[end - 1] == ':');
}

// Lines of text stored without boxes (an MDI's) set as a typewriter would: a letter 12 wide,
// lines 40 apart. A line that stops mid-sentence is taken as full, so that only a short line
// that ends a sentence ends its paragraph.
std::vector<PageLines> SetInCharacters(const std::vector<PageLines>& pages) {
    std::vector<PageLines> set = pages;
    for (PageLines& page : set) {
        std::size_t longest = 0;
        for (const TextLine& line : page.lines)
            longest = std::max(longest, line.text.size());
        for (std::size_t i = 0; i < page.lines.size(); ++i) {
            TextLine& line = page.lines[i];
            if (line.hasBox)
                continue;
            line.left = 0;
            line.right =
                12 * static_cast<int>(EndsSentence(line.text) ? line.text.size() : longest);
            line.top = 40 * static_cast<int>(i);
            line.bottom = line.top + 24;
            line.size = 24;
            line.hasBox = true;
        }
    }
    return set;
}

}  // namespace

std::vector<FlowItem> FlowOf(const BookStructure& book, const std::vector<PageLines>& pages,
                             const std::vector<std::vector<PictureBox>>& pictures) {
    const bool boxless = std::any_of(pages.begin(), pages.end(), [](const PageLines& page) {
        return std::any_of(page.lines.begin(), page.lines.end(),
                           [](const TextLine& line) { return !line.hasBox; });
    });
    if (boxless)
        return FlowOfLines(book, SetInCharacters(pages), pictures);
    return FlowOfLines(book, pages, pictures);
}

}  // namespace vellumark::structure
