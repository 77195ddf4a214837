#pragma once
// How a search word is compared with the words of a page: without regard to case, ignoring
// punctuation at word edges; a search word of several words matches consecutive words.

#include <string>
#include <string_view>
#include <vector>

namespace vellumark::imaging {

// The word lower-cased (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic) with punctuation
// removed from both ends ("Quasar," -> "quasar", "“Hello!”" -> "hello"). Inner punctuation
// stays ("don't", "well-known"). Malformed UTF-8 bytes are kept as they are.
std::string FoldWord(std::string_view word);

// The text split at white space (ASCII blanks and the no-break space), empty pieces dropped.
std::vector<std::string> SplitWords(std::string_view text);

// The folded words of a search word; pieces that are only punctuation are dropped, so a search
// word of blanks and punctuation gives none (and finds nothing).
std::vector<std::string> SearchTerms(std::string_view searchWord);

// Index of the first run of consecutive words, starting at `from` or later, whose folded texts
// equal `terms`; -1 when there is none or `terms` is empty. `folded` holds a page's words
// already folded.
int FindTerms(const std::vector<std::string>& folded, const std::vector<std::string>& terms,
              int from);

}  // namespace vellumark::imaging
