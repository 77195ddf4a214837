#include "structure/ContentsPage.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "structure/Headings.h"
#include "structure/PageNumbers.h"
#include "structure/TitleMatch.h"

namespace vellumark::structure {
namespace {

// A contents page has at least this many entries, and most of its lines are entries.
constexpr int kMinContentsEntries = 3;
constexpr double kMinEntryShare = 0.5;
// Lines this much taller than the text are the page's heading, not an entry.
constexpr double kMaxEntrySize = 1.15;
// A found heading this alike moves an entry to its page.
constexpr double kMinMatch = 0.6;
// An entry without a page number needs a heading nearly the same.
constexpr double kMinTitleOnly = 0.85;

bool IsLeader(std::string_view word) {
    if (word.empty())
        return false;
    while (!word.empty()) {
        if (word.front() == '.' || word.front() == '_' || word.front() == '-') {
            word.remove_prefix(1);
        } else if (word.starts_with("\u2026") || word.starts_with("\u00b7")) {
            // Ellipses and middle dots OCR reads in a leader.
            word.remove_prefix(word.starts_with("\u2026") ? 3 : 2);
        } else {
            return false;
        }
    }
    return true;
}

// A leader OCR has read as letters: "iiccccceeeeeeeees", "ceeeeeeenes". Long, with a run of one
// letter, and made almost only of the round and thin letters dots turn into.
bool IsMisreadLeader(std::string_view word) {
    if (word.size() < 5)
        return false;
    std::size_t run = 1;
    std::size_t longest = 1;
    std::size_t dotLike = 0;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (i > 0) {
            run = word[i] == word[i - 1] ? run + 1 : 1;
            longest = std::max(longest, run);
        }
        dotLike += std::string_view("ceinorstuvw.,:;'`-_").find(word[i]) != std::string_view::npos;
    }
    return longest >= 3 && dotLike * 10 >= word.size() * 8;
}

// Dot leaders as OCR gives them: a word of dots, or dots stuck to the title's last word.
std::string TitleOf(const std::vector<std::string>& words) {
    std::string title;
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        std::string word = words[i];
        if (IsLeader(word))
            continue;
        const std::size_t dots = word.find("..");
        if (dots != std::string::npos)
            word.erase(dots);
        if (word.empty() || IsMisreadLeader(word))
            continue;
        if (!title.empty())
            title += ' ';
        title += word;
    }
    return title;
}

// "Chapter 3: The Storm" found on the page is "The Storm" in the contents.
// "1. Arrival" in the contents is "Arrival" on its page.
double TitleMatch(const std::string& heading, const std::string& entry) {
    double match = TitleSimilarity(heading, entry);
    const std::size_t space = entry.find(' ');
    if (space != std::string::npos && ReadPageNumber(entry.substr(0, space)))
        match = std::max(match, TitleMatch(heading, entry.substr(space + 1)));
    const std::size_t colon = heading.find(": ");
    if (colon != std::string::npos)
        match = std::max(match, TitleSimilarity(heading.substr(colon + 2), entry));
    return match;
}

struct Candidate {
    ContentsEntry entry;
    int left;
    HeadingPattern pattern;
};

bool IsLoneNumber(const TextLine& line) {
    return line.words.size() == 1 && ReadPageNumber(line.words[0]).has_value();
}

// Each line's words, with the page number OCR read as a column of its own put back at the end
// of the line it stands beside; empty for marked lines and for the numbers taken.
std::vector<std::vector<std::string>> ContentsRows(const PageLines& page,
                                                   const std::vector<bool>& marked) {
    std::vector<std::vector<std::string>> rows(page.lines.size());
    std::vector<bool> taken(page.lines.size(), false);
    for (std::size_t i = 0; i < page.lines.size(); ++i) {
        const TextLine& line = page.lines[i];
        if (marked[i] || taken[i])
            continue;
        rows[i] = line.words;
        if (!line.hasBox || IsLoneNumber(line) ||
            (!line.words.empty() && ReadPageNumber(line.words.back())))
            continue;
        std::size_t best = page.lines.size();
        for (std::size_t j = 0; j < page.lines.size(); ++j) {
            const TextLine& other = page.lines[j];
            const int middle = (other.top + other.bottom) / 2;
            if (j == i || marked[j] || taken[j] || !other.hasBox || !IsLoneNumber(other) ||
                other.left < line.right || middle < line.top || middle > line.bottom)
                continue;
            if (best == page.lines.size() || other.left < page.lines[best].left)
                best = j;
        }
        if (best < page.lines.size()) {
            rows[i].push_back(page.lines[best].words[0]);
            taken[best] = true;
            rows[best].clear();
        }
    }
    return rows;
}

}  // namespace

std::vector<ContentsEntry> ReadContents(const std::vector<PageLines>& pages,
                                        const std::vector<std::vector<bool>>& marked, int bodySize,
                                        std::vector<int>& contentsPages) {
    std::vector<Candidate> candidates;
    for (int p = 0; p < static_cast<int>(pages.size()); ++p) {
        const PageLines& page = pages[static_cast<std::size_t>(p)];
        std::vector<Candidate> onPage;
        int numbered = 0;
        const std::vector<std::vector<std::string>> rows =
            ContentsRows(page, marked[static_cast<std::size_t>(p)]);
        int lines = 0;
        for (std::size_t i = 0; i < page.lines.size(); ++i) {
            const std::vector<std::string>& words = rows[i];
            if (words.empty())
                continue;
            ++lines;
            const auto number = words.size() >= 2 ? ReadPageNumber(words.back()) : std::nullopt;
            if (!number) {
                // An entry whose number OCR lost is placed by its title alone; the page's own
                // heading, set larger, is none.
                std::vector<std::string> all = words;
                all.emplace_back();
                const std::string title = TitleOf(all);
                if (page.lines[i].size < bodySize * kMaxEntrySize &&
                    !NormalisedTitle(title).empty())
                    onPage.push_back({{title, "", 1}, page.lines[i].left, PatternOf(words)});
                continue;
            }
            const std::string title = TitleOf(words);
            if (NormalisedTitle(title).empty())
                continue;
            std::vector<std::string> titleWords(words.begin(), words.end() - 1);
            onPage.push_back(
                {{title, LabelOf(*number), 1}, page.lines[i].left, PatternOf(titleWords)});
            ++numbered;
        }
        if (numbered >= kMinContentsEntries && numbered >= kMinEntryShare * lines) {
            contentsPages.push_back(p);
            candidates.insert(candidates.end(), onPage.begin(), onPage.end());
        }
    }
    // Levels by indent: lefts within a letter's size of each other are one level.
    std::vector<int> lefts;
    for (const Candidate& c : candidates)
        lefts.push_back(c.left);
    std::sort(lefts.begin(), lefts.end());
    std::vector<int> steps;  // the left edge of each indent
    for (int left : lefts) {
        if (steps.empty() || left - steps.back() > std::max(bodySize, 4))
            steps.push_back(left);
    }
    std::vector<ContentsEntry> entries;
    for (const Candidate& c : candidates) {
        ContentsEntry entry = c.entry;
        const auto step =
            std::upper_bound(steps.begin(), steps.end(), c.left + std::max(bodySize, 4));
        entry.level = std::max(1, static_cast<int>(step - steps.begin()));
        entries.push_back(std::move(entry));
    }
    // A contents set flush left says its levels by its numbering and its parts.
    if (steps.size() == 1) {
        bool parts = false;
        for (const Candidate& c : candidates)
            parts = parts || c.pattern.kind == HeadingKind::Part;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const HeadingPattern& pattern = candidates[i].pattern;
            int level = pattern.kind == HeadingKind::Part ? 1 : (parts ? 2 : 1);
            if (pattern.kind == HeadingKind::Section)
                level += pattern.depth - 1;
            entries[i].level = level;
        }
    }
    return entries;
}

std::vector<Heading> PlaceContents(const std::vector<ContentsEntry>& entries,
                                   const std::vector<std::string>& labels,
                                   const std::vector<Heading>& found, int contentsEnd) {
    // For each level of the headings found, the contents levels of the entries matched to them.
    std::map<int, std::map<int, int>> levelVotes;
    std::vector<bool> matched(found.size(), false);
    std::map<std::string, int> pageOf;
    for (int p = 0; p < static_cast<int>(labels.size()); ++p) {
        if (!labels[static_cast<std::size_t>(p)].empty())
            pageOf.emplace(labels[static_cast<std::size_t>(p)], p);
    }
    std::vector<Heading> placed;
    for (const ContentsEntry& entry : entries) {
        const auto at = pageOf.find(entry.label);
        const int labelled = at == pageOf.end() ? -1 : at->second;
        int page = labelled;
        double best = kMinMatch;
        const Heading* partner = nullptr;
        // The headings on the labelled page and its neighbours (found is in page order); with
        // no page from the label, a title nearly the same places the entry anywhere.
        auto from = found.begin();
        auto to = found.end();
        if (labelled >= 0) {
            const auto byPage = [](const Heading& h, int p) { return h.page < p; };
            from = std::lower_bound(found.begin(), found.end(), labelled - 1, byPage);
            to = std::lower_bound(from, found.end(), labelled + 2, byPage);
        }
        for (auto heading = from; heading != to; ++heading) {
            const double match = TitleMatch(heading->title, entry.title);
            if (match > best && (labelled >= 0 || match >= kMinTitleOnly)) {
                best = match;
                page = heading->page;
                partner = &*heading;
            }
        }
        if (partner != nullptr) {
            matched[static_cast<std::size_t>(partner - found.data())] = true;
            ++levelVotes[partner->level][entry.level];
        }
        if (page >= 0)
            placed.push_back({page, entry.level, entry.title});
    }
    // A heading after the contents on a page no entry names is one of its lines OCR lost, when
    // headings of its level were entries elsewhere: it comes in at their level.
    for (std::size_t i = 0; i < found.size() && !placed.empty(); ++i) {
        const Heading& heading = found[i];
        const auto votes = levelVotes.find(heading.level);
        if (matched[i] || heading.page <= contentsEnd || votes == levelVotes.end() ||
            std::any_of(placed.begin(), placed.end(),
                        [&](const Heading& h) { return h.page == heading.page; }))
            continue;
        const auto level =
            std::max_element(votes->second.begin(), votes->second.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        placed.push_back({heading.page, level->first, heading.title});
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Heading& a, const Heading& b) { return a.page < b.page; });
    return placed;
}

}  // namespace vellumark::structure
