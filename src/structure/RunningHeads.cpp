#include "structure/RunningHeads.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace vellumark::structure {
namespace {

// A margin row lies within this share of the page's height from its edge...
constexpr double kMarginShare = 0.15;
// ...and stands apart from the text by at least this share of its own letter size.
constexpr double kMarginGap = 0.8;
// A running head's text recurs on at least this many pages of the same parity.
constexpr int kMinRecurrence = 2;

// The lines whose vertical extents overlap `seed`'s: one row, whatever blocks OCR split it into.
std::vector<int> RowOf(const PageLines& page, int seed) {
    const TextLine& s = page.lines[static_cast<std::size_t>(seed)];
    std::vector<int> row;
    for (int i = 0; i < static_cast<int>(page.lines.size()); ++i) {
        const TextLine& line = page.lines[static_cast<std::size_t>(i)];
        if (line.hasBox && line.top < s.bottom && s.top < line.bottom)
            row.push_back(i);
    }
    return row;
}

// Lower-case letters of the line without its numbers: the part of a running head that stays.
std::string KeyOf(const std::string& text) {
    std::string key;
    std::string word;
    const auto flush = [&] {
        if (!word.empty() && !ReadPageNumber(word)) {
            for (char c : word) {
                if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    static_cast<unsigned char>(c) >= 0x80)
                    key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            }
        }
        word.clear();
    };
    for (char c : text) {
        if (c == ' ') {
            flush();
        } else {
            word += c;
        }
    }
    flush();
    return key;
}

}  // namespace

std::vector<int> MarginLines(const PageLines& page) {
    int first = -1;
    int last = -1;
    for (int i = 0; i < static_cast<int>(page.lines.size()); ++i) {
        const TextLine& line = page.lines[static_cast<std::size_t>(i)];
        if (!line.hasBox)
            continue;
        if (first < 0 || line.top < page.lines[static_cast<std::size_t>(first)].top)
            first = i;
        if (last < 0 || line.bottom > page.lines[static_cast<std::size_t>(last)].bottom)
            last = i;
    }
    std::vector<int> margins;
    if (first < 0 || page.height <= 0)
        return margins;
    const auto add = [&](int seed, bool top) {
        const std::vector<int> row = RowOf(page, seed);
        int rowTop = page.height;
        int rowBottom = 0;
        int size = 0;
        for (int i : row) {
            const TextLine& line = page.lines[static_cast<std::size_t>(i)];
            rowTop = std::min(rowTop, line.top);
            rowBottom = std::max(rowBottom, line.bottom);
            size = std::max(size, line.size);
        }
        if (top ? rowBottom > page.height * kMarginShare
                : rowTop < page.height * (1.0 - kMarginShare))
            return;
        // The nearest text on the other side of the row.
        int gap = page.height;
        for (int i = 0; i < static_cast<int>(page.lines.size()); ++i) {
            const TextLine& line = page.lines[static_cast<std::size_t>(i)];
            if (!line.hasBox || std::find(row.begin(), row.end(), i) != row.end())
                continue;
            gap = std::min(gap, top ? line.top - rowBottom : rowTop - line.bottom);
        }
        if (gap < size * kMarginGap)
            return;
        for (int i : row) {
            if (std::find(margins.begin(), margins.end(), i) == margins.end())
                margins.push_back(i);
        }
    };
    add(first, true);
    add(last, false);
    return margins;
}

std::vector<PageNumber> FolioCandidates(const TextLine& line) {
    std::vector<PageNumber> numbers;
    if (line.words.empty())
        return numbers;
    // A folio spaced out by OCR: "1 7".
    std::string joined;
    for (const std::string& word : line.words)
        joined += word;
    if (line.words.size() <= 3) {
        if (const auto whole = ReadPageNumber(joined)) {
            numbers.push_back(*whole);
            return numbers;
        }
    }
    if (const auto first = ReadPageNumber(line.words.front()))
        numbers.push_back(*first);
    if (line.words.size() > 1) {
        if (const auto last = ReadPageNumber(line.words.back()))
            numbers.push_back(*last);
    }
    return numbers;
}

std::vector<MarginLine> FindRunningHeads(const std::vector<MarginLine>& margins,
                                         const std::vector<std::string>& labels) {
    std::map<std::tuple<int, bool, std::string>, int> seen;  // parity, top, key: pages
    for (const MarginLine& m : margins) {
        const std::string key = KeyOf(m.text);
        if (!key.empty())
            ++seen[{m.page % 2, m.top, key}];
    }
    // A line that recurs, or carries its page's folio, makes a running head of its whole row.
    std::vector<bool> head(margins.size(), false);
    std::map<std::pair<int, bool>, bool> rowHasHead;
    for (std::size_t i = 0; i < margins.size(); ++i) {
        const MarginLine& m = margins[i];
        const std::string key = KeyOf(m.text);
        head[i] = key.empty() || seen[{m.page % 2, m.top, key}] >= kMinRecurrence;
        const std::string& label = labels[static_cast<std::size_t>(m.page)];
        if (!head[i] && !label.empty()) {
            TextLine line;
            line.words = m.words;
            for (const PageNumber& n : FolioCandidates(line))
                head[i] = head[i] || LabelOf(n) == label;
        }
        if (head[i])
            rowHasHead[{m.page, m.top}] = true;
    }
    std::vector<MarginLine> heads;
    for (std::size_t i = 0; i < margins.size(); ++i) {
        if (head[i] || rowHasHead[{margins[i].page, margins[i].top}])
            heads.push_back(margins[i]);
    }
    return heads;
}

}  // namespace vellumark::structure
