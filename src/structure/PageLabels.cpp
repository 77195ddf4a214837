#include "structure/PageLabels.h"

#include <algorithm>
#include <map>

namespace vellumark::structure {
namespace {

// Folios further apart than this start a new sequence even at the same offset.
constexpr int kMaxGap = 12;
// A sequence needs this many pages that agree with it.
constexpr int kMinSupport = 3;
// Unnumbered pages just before a sequence that still belong to it (a part title and a chapter
// opener before the first folio, and the first folios, which OCR misses when they are a lone
// digit), as far as its number 1; and just after it.
constexpr int kMaxExtensionBack = 8;
constexpr int kMaxExtensionOn = 1;

struct Sequence {
    NumberStyle style;
    int offset;  // value = page + offset
    int first;
    int last;
    int support;
};

std::vector<Sequence> FindSequences(const std::vector<PageFolios>& pages) {
    std::map<std::pair<NumberStyle, int>, std::vector<int>> agreeing;
    for (int page = 0; page < static_cast<int>(pages.size()); ++page) {
        for (const PageNumber& number : pages[static_cast<std::size_t>(page)].candidates) {
            std::vector<int>& list = agreeing[{number.style, number.value - page}];
            if (list.empty() || list.back() != page)
                list.push_back(page);
        }
    }
    std::vector<Sequence> sequences;
    for (const auto& [key, list] : agreeing) {
        std::size_t start = 0;
        for (std::size_t i = 1; i <= list.size(); ++i) {
            if (i < list.size() && list[i] - list[i - 1] <= kMaxGap)
                continue;
            const int support = static_cast<int>(i - start);
            if (support >= kMinSupport)
                sequences.push_back({key.first, key.second, list[start], list[i - 1], support});
            start = i;
        }
    }
    std::sort(sequences.begin(), sequences.end(),
              [](const Sequence& a, const Sequence& b) { return a.support > b.support; });
    return sequences;
}

}  // namespace

std::vector<std::string> FitPageLabels(const std::vector<PageFolios>& pages) {
    const int count = static_cast<int>(pages.size());
    std::vector<std::string> labels(pages.size());
    std::vector<bool> taken(pages.size(), false);
    const auto label = [&](const Sequence& s, int page) {
        const int value = page + s.offset;
        if (value < 1 || taken[static_cast<std::size_t>(page)])
            return false;
        taken[static_cast<std::size_t>(page)] = true;
        labels[static_cast<std::size_t>(page)] = LabelOf({s.style, value});
        return true;
    };
    const std::vector<Sequence> sequences = FindSequences(pages);
    // The best-supported sequence wins a page two sequences claim.
    for (const Sequence& s : sequences) {
        for (int page = s.first; page <= s.last; ++page)
            label(s, page);
    }
    // Openers come before a sequence's first folio far more often than unnumbered pages after
    // its last, so every sequence reaches back before any reaches forward.
    for (const Sequence& s : sequences) {
        for (int page = s.first - 1; page >= 0 && page >= s.first - kMaxExtensionBack; --page) {
            if (pages[static_cast<std::size_t>(page)].blank || !label(s, page))
                break;
        }
    }
    for (const Sequence& s : sequences) {
        for (int page = s.last + 1; page < count && page <= s.last + kMaxExtensionOn; ++page) {
            if (pages[static_cast<std::size_t>(page)].blank || !label(s, page))
                break;
        }
    }
    return labels;
}

}  // namespace vellumark::structure
