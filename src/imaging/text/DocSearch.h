#pragma once
// The search object: finds the next hit of a search word going forward from a page and a word,
// over the words of a text layer.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/text/TextLayer.h"

namespace vellumark::imaging {

// A run of consecutive words on one page that matches the search word.
struct Hit {
    int page = 0;            // 0-based
    std::vector<int> words;  // indices on the page, first to last
    std::string text;        // the matched words as read, joined by single spaces

    int LastWord() const { return words.empty() ? 0 : words.back(); }
};

// What a running search reports and how it is stopped. Both members may be left empty.
struct SearchControl {
    // Called with each page before its words are read (from the searching thread).
    std::function<void(int page)> onPage;
    // Set by another thread to stop the search with vellumark::Error (Cancelled).
    const std::atomic<bool>* cancel = nullptr;
};

// The words of a page, for FindForward.
using PageWords = std::function<std::vector<Word>(int page)>;

// The first hit of `searchWord` at or after word `word` of page `page`, the word at that place
// included, up to the end of the last page; no wrap to page 0. Matching follows WordMatch.h. A
// search word with no letters (empty, blanks, punctuation) has no hit; a negative cursor counts
// as 0. Throws what `wordsOf` throws, and vellumark::Error (Cancelled) when cancelled.
std::optional<Hit> FindForward(int pageCount, const PageWords& wordsOf,
                               const std::string& searchWord, int page, int word,
                               const SearchControl& control = {});

// Every hit in document order, each search going on after the previous hit's last word.
std::vector<Hit> FindAll(int pageCount, const PageWords& wordsOf, const std::string& searchWord,
                         const SearchControl& control = {});

// The search object of a text layer: set up, then search. Neither call changes the cursors; the
// caller moves them after a hit. Not thread-safe itself, but Search may run on any one thread.
class DocSearch {
public:
    // The cursors are read (not copied) by each Search, so they must outlive its use.
    void SetUp(std::shared_ptr<const TextLayer> text, std::string searchWord, const int& pageCursor,
               const int& wordCursor);
    // The next hit from the cursors, or none (also none before SetUp). Pages are read through the
    // text layer, so pages read before are not read again. Throws vellumark::Error.
    std::optional<Hit> Search(const SearchControl& control = {}) const;

private:
    std::shared_ptr<const TextLayer> text_;
    std::string searchWord_;
    const int* pageCursor_ = nullptr;
    const int* wordCursor_ = nullptr;
};

}  // namespace vellumark::imaging
