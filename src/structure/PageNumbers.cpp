#include "structure/PageNumbers.h"

namespace vellumark::structure {
namespace {

constexpr int kMaxPage = 9999;
constexpr int kMaxRoman = 399;

// A digit as OCR may misread it in a number that has at least one true digit.
int DigitOf(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    switch (c) {
        case 'l':
        case 'I':
        case '|':
        case 'i':
            return 1;
        case 'O':
        case 'o':
            return 0;
        case 'S':
            return 5;
        case 'B':
            return 8;
        case 'Z':
            return 2;
        default:
            return -1;
    }
}

std::optional<int> ReadArabic(std::string_view token) {
    bool digit = false;
    int value = 0;
    for (char c : token) {
        const int d = DigitOf(c);
        if (d < 0)
            return std::nullopt;
        digit = digit || (c >= '0' && c <= '9');
        value = value * 10 + d;
        if (value > kMaxPage)
            return std::nullopt;
    }
    if (!digit || value < 1)
        return std::nullopt;
    return value;
}

int RomanDigit(char c) {
    switch (c | 0x20) {
        case 'i':
            return 1;
        case 'v':
            return 5;
        case 'x':
            return 10;
        case 'l':
            return 50;
        case 'c':
            return 100;
        case 'd':
            return 500;
        case 'm':
            return 1000;
        default:
            return 0;
    }
}

// Folios sit beside punctuation now and then: "- 12 -", "[iv]".
std::string_view Trim(std::string_view token) {
    const auto edge = [](char c) {
        return c == '-' || c == '.' || c == ',' || c == '[' || c == ']' || c == '(' || c == ')' ||
               c == '\'' || c == '"' || c == ':' || c == ';';
    };
    while (!token.empty() && edge(token.front()))
        token.remove_prefix(1);
    while (!token.empty() && edge(token.back()))
        token.remove_suffix(1);
    return token;
}

}  // namespace

std::optional<int> ReadRoman(std::string_view token) {
    if (token.empty() || token.size() > 12)
        return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < token.size(); ++i) {
        const int d = RomanDigit(token[i]);
        if (d == 0)
            return std::nullopt;
        const int next = i + 1 < token.size() ? RomanDigit(token[i + 1]) : 0;
        value += d < next ? -d : d;
    }
    // Only the canonical spelling of a number front matter can reach: that turns away words
    // made of roman letters ("dim", "mix").
    if (value < 1 || value > kMaxRoman || RomanLabel(value).size() != token.size())
        return std::nullopt;
    const std::string canonical = RomanLabel(value);
    for (std::size_t i = 0; i < token.size(); ++i) {
        if ((token[i] | 0x20) != canonical[i])
            return std::nullopt;
    }
    return value;
}

std::optional<PageNumber> ReadPageNumber(std::string_view token) {
    token = Trim(token);
    if (token.empty())
        return std::nullopt;
    if (const auto arabic = ReadArabic(token))
        return PageNumber{NumberStyle::Arabic, *arabic};
    if (const auto roman = ReadRoman(token))
        return PageNumber{NumberStyle::Roman, *roman};
    // OCR reads a small roman i as l, 1, ! or | ("ili" for "iii"); front matter seldom reaches
    // the roman 50 that a true l would be.
    if (token.size() <= 8 && token.find_first_of("l1!|") != std::string_view::npos &&
        token.find_first_of("ivxIVX") != std::string_view::npos) {
        std::string fixed(token);
        for (char& c : fixed) {
            if (c == 'l' || c == '1' || c == '!' || c == '|')
                c = 'i';
        }
        if (const auto roman = ReadRoman(fixed); roman && *roman < 40)
            return PageNumber{NumberStyle::Roman, *roman};
    }
    return std::nullopt;
}

std::string RomanLabel(int value) {
    static constexpr struct {
        int value;
        const char* text;
    } kParts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                  {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                  {5, "v"},    {4, "iv"},   {1, "i"}};
    std::string text;
    for (const auto& part : kParts) {
        while (value >= part.value) {
            text += part.text;
            value -= part.value;
        }
    }
    return text;
}

std::string LabelOf(PageNumber number) {
    return number.style == NumberStyle::Roman ? RomanLabel(number.value)
                                              : std::to_string(number.value);
}

}  // namespace vellumark::structure
