#include "structure/Dehyphenation.h"

namespace vellumark::structure {
namespace {

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool IsLower(char c) {
    return (c >= 'a' && c <= 'z');
}

// A part shorter than this is a syllable, never a word of a compound ("a-", "-ed").
constexpr std::size_t kMinPart = 2;

}  // namespace

std::string LookupForm(std::string_view word) {
    std::size_t first = 0, last = word.size();
    while (first < last && !IsLetter(word[first]) && !(word[first] >= '0' && word[first] <= '9'))
        ++first;
    while (last > first && !IsLetter(word[last - 1]) &&
           !(word[last - 1] >= '0' && word[last - 1] <= '9'))
        --last;
    std::string form(word.substr(first, last - first));
    for (char& c : form) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return form;
}

bool EndsBroken(std::string_view word) {
    return word.size() >= 2 && word.back() == '-' && IsLetter(word[word.size() - 2]);
}

void BookLexicon::AddLine(const std::vector<std::string>& words, bool afterBreak) {
    for (std::size_t i = afterBreak ? 1 : 0; i < words.size(); ++i) {
        if (i + 1 == words.size() && EndsBroken(words[i]))
            break;
        const std::string form = LookupForm(words[i]);
        if (form.empty())
            continue;
        if (form.find('-') != std::string::npos)
            compounds_.insert(form);
        ++counts_[form];
    }
}

std::string BookLexicon::Join(std::string_view head, std::string_view tail) const {
    const std::string_view stem = head.substr(0, head.size() - 1);
    const std::string joined = std::string(stem) + std::string(tail);
    const std::string kept = std::string(head) + std::string(tail);
    const std::string first = LookupForm(stem);
    const std::string second = LookupForm(tail);
    // A capital after the break starts a name ("Anglo-Saxon"): the hyphen is the word's.
    if (tail.empty() || !IsLower(tail.front()) || first.empty() || second.empty())
        return kept;
    if (compounds_.count(first + "-" + second) != 0)
        return kept;
    if (Seen(first + second))
        return joined;
    // Two words the book uses on their own, never seen joined: a compound broken at its hyphen.
    if (first.size() >= kMinPart && second.size() >= kMinPart && Seen(first) && Seen(second))
        return kept;
    return joined;
}

}  // namespace vellumark::structure
