#include "imaging/text/WordMatch.h"

#include <algorithm>

#include "common/Utf8.h"

namespace vellumark::imaging {
namespace {

bool IsPunctuation(char32_t c) {
    if (c < 0x80) {
        return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
               (c >= 0x7B && c <= 0x7E);
    }
    return c == 0xA1 || c == 0xA7 || c == 0xAB || c == 0xB6 || c == 0xB7 || c == 0xBB ||
           c == 0xBF ||                     // Latin-1 marks and guillemets
           (c >= 0x2010 && c <= 0x205E) ||  // dashes, curly quotes, ellipsis, ...
           (c >= 0x3000 && c <= 0x303F) ||  // CJK punctuation
           (c >= 0xFF01 && c <= 0xFF0F);    // full-width ! to /
}

char32_t ToLower(char32_t c) {
    if (c >= 'A' && c <= 'Z')
        return c + 0x20;
    if (c < 0x80)
        return c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    // Latin Extended-A pairs capitals and small letters as even/odd, with a shift at U+0139.
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c + 1 : c;
    if (c == 0x178)
        return 0xFF;
    return c;
}

bool IsSpace(char32_t c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0;
}

}  // namespace

std::string FoldWord(std::string_view word) {
    struct Piece {
        Utf8Char code;
        std::string_view bytes;
    };
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < word.size();) {
        const Utf8Char code = DecodeUtf8(word, i);
        pieces.push_back({code, word.substr(i, code.length)});
        i += code.length;
    }
    auto edge = [](const Piece& p) { return p.code.valid && IsPunctuation(p.code.value); };
    const auto first = std::find_if_not(pieces.begin(), pieces.end(), edge);
    const auto last = std::find_if_not(pieces.rbegin(), std::make_reverse_iterator(first), edge);
    std::string folded;
    for (auto it = first; it != last.base(); ++it) {
        if (it->code.valid) {
            AppendUtf8(folded, ToLower(it->code.value));
        } else {
            folded += it->bytes;
        }
    }
    return folded;
}

std::vector<std::string> SplitWords(std::string_view text) {
    std::vector<std::string> words;
    std::string current;
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char code = DecodeUtf8(text, i);
        if (code.valid && IsSpace(code.value)) {
            if (!current.empty())
                words.push_back(std::move(current));
            current.clear();
        } else {
            current += text.substr(i, code.length);
        }
        i += code.length;
    }
    if (!current.empty())
        words.push_back(std::move(current));
    return words;
}

std::vector<std::string> SearchTerms(std::string_view searchWord) {
    std::vector<std::string> terms;
    for (const std::string& word : SplitWords(searchWord)) {
        std::string folded = FoldWord(word);
        if (!folded.empty())
            terms.push_back(std::move(folded));
    }
    return terms;
}

int FindTerms(const std::vector<std::string>& folded, const std::vector<std::string>& terms,
              int from) {
    if (terms.empty())
        return -1;
    const int count = static_cast<int>(folded.size());
    const int runs = count - static_cast<int>(terms.size());
    for (int start = std::max(from, 0); start <= runs; ++start) {
        if (std::equal(terms.begin(), terms.end(), folded.begin() + start))
            return start;
    }
    return -1;
}

}  // namespace vellumark::imaging
