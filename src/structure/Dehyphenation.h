#pragma once
// Words broken at a line's end, joined again with the book itself as the dictionary: a word the
// book prints whole elsewhere is joined, a compound it prints with its hyphen keeps it.

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vellumark::structure {

// The form a word is looked up by: lower case (ASCII), without the punctuation around it.
std::string LookupForm(std::string_view word);

// True when the word ends in a hyphen that may break it ("har-", not "-" or "--").
bool EndsBroken(std::string_view word);

class BookLexicon {
public:
    // The words of one printed line; a last word ending in a hyphen is a break, not a word, and
    // so is the first word when the line before broke one (`afterBreak`).
    void AddLine(const std::vector<std::string>& words, bool afterBreak);
    // `head` ends in its hyphen ("light-"), `tail` is the next line's first word ("house,").
    // Gives the word as the book would print it unbroken: "lighthouse," or "well-known,".
    std::string Join(std::string_view head, std::string_view tail) const;

private:
    bool Seen(const std::string& form) const { return counts_.count(form) != 0; }
    std::unordered_map<std::string, int> counts_;  // whole words, by LookupForm
    std::unordered_set<std::string> compounds_;    // hyphenated words seen inside a line
};

}  // namespace vellumark::structure
