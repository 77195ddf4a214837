#include "imaging/text/DocSearch.h"

#include "common/Error.h"
#include "imaging/text/WordMatch.h"

namespace vellumark::imaging {

std::optional<Hit> FindForward(int pageCount, const PageWords& wordsOf,
                               const std::string& searchWord, int page, int word,
                               const SearchControl& control) {
    const std::vector<std::string> terms = SearchTerms(searchWord);
    if (terms.empty())
        return std::nullopt;
    for (int p = std::max(page, 0); p < pageCount; ++p) {
        if (control.cancel != nullptr && control.cancel->load()) {
            throw Error(ErrorCode::Cancelled, "the search was cancelled");
        }
        if (control.onPage)
            control.onPage(p);
        const std::vector<Word> words = wordsOf(p);
        std::vector<std::string> folded;
        folded.reserve(words.size());
        for (const Word& w : words)
            folded.push_back(FoldWord(w.text));
        const int start = FindTerms(folded, terms, p == page ? word : 0);
        if (start < 0)
            continue;
        Hit hit;
        hit.page = p;
        for (int i = start; i < start + static_cast<int>(terms.size()); ++i) {
            hit.words.push_back(i);
            if (!hit.text.empty())
                hit.text += ' ';
            hit.text += words[i].text;
        }
        return hit;
    }
    return std::nullopt;
}

std::vector<Hit> FindAll(int pageCount, const PageWords& wordsOf, const std::string& searchWord,
                         const SearchControl& control) {
    std::vector<Hit> hits;
    int page = 0;
    int word = 0;
    while (auto hit = FindForward(pageCount, wordsOf, searchWord, page, word, control)) {
        page = hit->page;
        word = hit->LastWord() + 1;
        hits.push_back(std::move(*hit));
    }
    return hits;
}

void DocSearch::SetUp(std::shared_ptr<const TextLayer> text, std::string searchWord,
                      const int& pageCursor, const int& wordCursor) {
    text_ = std::move(text);
    searchWord_ = std::move(searchWord);
    pageCursor_ = &pageCursor;
    wordCursor_ = &wordCursor;
}

std::optional<Hit> DocSearch::Search(const SearchControl& control) const {
    if (!text_)
        return std::nullopt;
    const TextLayer& text = *text_;
    return FindForward(
        text.PageCount(), [&](int page) { return text.Words(page, control.cancel); }, searchWord_,
        *pageCursor_, *wordCursor_, control);
}

}  // namespace vellumark::imaging
