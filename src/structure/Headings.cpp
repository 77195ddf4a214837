#include "structure/Headings.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

#include "structure/PageNumbers.h"

namespace vellumark::structure {
namespace {

// A line this much taller than the text is a heading by its size alone...
constexpr double kDisplaySize = 1.4;
// ...and one somewhat taller is when it opens a page far down (a chapter's first page).
constexpr double kOpenerSize = 1.15;
constexpr double kOpenerDepth = 0.2;
// Headings are short.
constexpr std::size_t kMaxHeadingWords = 14;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return out;
}

std::string_view StripPunctuation(std::string_view word) {
    while (!word.empty() && (word.back() == '.' || word.back() == ':' || word.back() == ','))
        word.remove_suffix(1);
    return word;
}

bool IsNumberWord(std::string_view word) {
    static constexpr std::array<std::string_view, 40> kWords = {
        "one",     "two",     "three",     "four",     "five",     "six",      "seven",
        "eight",   "nine",    "ten",       "eleven",   "twelve",   "thirteen", "fourteen",
        "fifteen", "sixteen", "seventeen", "eighteen", "nineteen", "twenty",   "first",
        "second",  "third",   "fourth",    "fifth",    "sixth",    "seventh",  "eighth",
        "ninth",   "tenth",   "eleventh",  "twelfth",  "last",     "thirty",   "forty",
        "fifty",   "hundred", "zero",      "final",    "opening"};
    const std::string lower = Lower(word);
    return std::find(kWords.begin(), kWords.end(), lower) != kWords.end();
}

bool IsOrdinal(std::string_view word) {
    word = StripPunctuation(word);
    return ReadPageNumber(word).has_value() || IsNumberWord(word);
}

bool IsUpperRoman(std::string_view word) {
    word = StripPunctuation(word);
    return ReadRoman(word).has_value() &&
           std::all_of(word.begin(), word.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// "3.2", "3.2.1." and the like: the number of parts, or 0.
int SectionDepth(std::string_view word) {
    if (!word.empty() && word.back() == '.')
        word.remove_suffix(1);
    int parts = 1;
    bool digit = false;
    for (char c : word) {
        if (c == '.') {
            if (!digit)
                return 0;
            ++parts;
            digit = false;
        } else if (c >= '0' && c <= '9') {
            digit = true;
        } else {
            return 0;
        }
    }
    return digit && parts >= 2 ? parts : 0;
}

bool StartsUpper(std::string_view word) {
    return !word.empty() &&
           ((word[0] >= 'A' && word[0] <= 'Z') || static_cast<unsigned char>(word[0]) >= 0x80);
}

struct Found {
    int page;
    int line;
    HeadingKind kind;
    int depth;
    int size;
    std::string title;
    bool label;  // "Chapter 7", "PART TWO", "IV": a number that a title may follow
    int firstLine;
};

// The rank of a heading before ranks are made levels: parts above chapters above sections.
int RankOf(const Found& f, int chapterSize) {
    switch (f.kind) {
        case HeadingKind::Part:
            return 0;
        case HeadingKind::Chapter:
            return 1;
        case HeadingKind::Display:
            return f.size * 100 >= chapterSize * 85 ? 1 : 2;
        case HeadingKind::Section:
            return 1 + f.depth;
        case HeadingKind::None:
            break;
    }
    return 9;
}

int GapAbove(const PageLines& page, int index) {
    const TextLine& line = page.lines[static_cast<std::size_t>(index)];
    int gap = line.top;
    for (const TextLine& other : page.lines) {
        if (&other != &line && other.hasBox && other.bottom <= line.top + 2 &&
            other.right > line.left && other.left < line.right)
            gap = std::min(gap, line.top - other.bottom);
    }
    return gap;
}

}  // namespace

HeadingPattern PatternOf(const std::vector<std::string>& words) {
    if (words.empty() || words.size() > kMaxHeadingWords)
        return {};
    const std::string first = Lower(StripPunctuation(words[0]));
    if (words.size() == 2 && IsOrdinal(words[1])) {
        if (first == "chapter")
            return {HeadingKind::Chapter, 1};
        if (first == "part" || first == "book")
            return {HeadingKind::Part, 1};
    }
    if (words.size() == 1 && IsUpperRoman(words[0]))
        return {HeadingKind::Chapter, 1};
    if (words.size() >= 2 && StartsUpper(words[1])) {
        if (const int depth = SectionDepth(words[0]))
            return {HeadingKind::Section, depth};
    }
    return {};
}

std::vector<Heading> FindHeadings(const std::vector<PageLines>& pages,
                                  const std::vector<std::vector<bool>>& marked, int bodySize) {
    std::vector<Found> found;
    bodySize = std::max(bodySize, 1);
    for (int p = 0; p < static_cast<int>(pages.size()); ++p) {
        const PageLines& page = pages[static_cast<std::size_t>(p)];
        const std::vector<bool>& skip = marked[static_cast<std::size_t>(p)];
        // The first line of the page's text, for a chapter's opening page.
        int opener = -1;
        for (int i = 0; i < static_cast<int>(page.lines.size()); ++i) {
            if (skip[static_cast<std::size_t>(i)] ||
                !page.lines[static_cast<std::size_t>(i)].hasBox)
                continue;
            if (opener < 0 || page.lines[static_cast<std::size_t>(i)].top <
                                  page.lines[static_cast<std::size_t>(opener)].top)
                opener = i;
        }
        const bool sunk =
            opener >= 0 && page.height > 0 &&
            page.lines[static_cast<std::size_t>(opener)].top > page.height * kOpenerDepth;
        for (int i = 0; i < static_cast<int>(page.lines.size()); ++i) {
            const TextLine& line = page.lines[static_cast<std::size_t>(i)];
            if (skip[static_cast<std::size_t>(i)] || !line.hasBox ||
                line.words.size() > kMaxHeadingWords)
                continue;
            const HeadingPattern pattern = PatternOf(line.words);
            const bool tall = line.size >= bodySize * kDisplaySize;
            const bool raised = line.size >= bodySize * kOpenerSize;
            const bool apart = GapAbove(page, i) >= bodySize;
            HeadingKind kind = HeadingKind::None;
            if (pattern.kind == HeadingKind::Part || pattern.kind == HeadingKind::Chapter) {
                // A lone numeral in the text is a list's or a verse's, not a chapter's.
                if (raised || apart || pattern.kind != HeadingKind::Chapter ||
                    line.words.size() > 1)
                    kind = pattern.kind;
            } else if (pattern.kind == HeadingKind::Section && (raised || apart)) {
                kind = HeadingKind::Section;
            } else if (tall || (sunk && raised && line.top < page.height / 2)) {
                kind = HeadingKind::Display;
            }
            if (kind == HeadingKind::None)
                continue;
            const bool label =
                pattern.kind == HeadingKind::Part || pattern.kind == HeadingKind::Chapter;
            // A title printed under "Chapter 7" (or a title over two lines) is one heading.
            if (!found.empty() && found.back().page == p && found.back().line == i - 1 &&
                kind != HeadingKind::Section && found.back().kind != HeadingKind::Section &&
                !(label && found.back().label) &&
                line.top - page.lines[static_cast<std::size_t>(i - 1)].bottom <
                    2 * std::max(line.size, bodySize)) {
                Found& previous = found.back();
                previous.title += previous.label ? ": " : " ";
                previous.title += line.text;
                previous.line = i;
                previous.label = false;
                if (kind == HeadingKind::Part ||
                    (kind == HeadingKind::Chapter && previous.kind == HeadingKind::Display))
                    previous.kind = kind;
                previous.size = std::max(previous.size, line.size);
                continue;
            }
            found.push_back({p, i, kind, pattern.depth, line.size, line.text, label, i});
        }
    }

    // Display headings as tall as the chapters' are chapters.
    std::vector<int> chapterSizes;
    int largest = 0;
    for (const Found& f : found) {
        if (f.kind == HeadingKind::Chapter)
            chapterSizes.push_back(f.size);
        if (f.kind == HeadingKind::Display)
            largest = std::max(largest, f.size);
    }
    int chapterSize = largest;
    if (!chapterSizes.empty()) {
        std::nth_element(chapterSizes.begin(), chapterSizes.begin() + chapterSizes.size() / 2,
                         chapterSizes.end());
        chapterSize = chapterSizes[chapterSizes.size() / 2];
    }
    std::map<int, int> levels;
    for (const Found& f : found)
        levels[RankOf(f, chapterSize)] = 0;
    int level = 0;
    for (auto& [rank, value] : levels)
        value = ++level;
    std::vector<Heading> headings;
    for (const Found& f : found)
        headings.push_back({f.page, levels[RankOf(f, chapterSize)], f.title, f.firstLine, f.line});
    return headings;
}

}  // namespace vellumark::structure
