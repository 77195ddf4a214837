#pragma once
// Printed page numbers: reading a folio as OCR gives it, and writing a label back.

#include <optional>
#include <string>
#include <string_view>

namespace vellumark::structure {

enum class NumberStyle { Arabic, Roman };

struct PageNumber {
    NumberStyle style = NumberStyle::Arabic;
    int value = 0;
};

// "17", and what OCR makes of it ("l7", "I7", "1O"), or a roman numeral ("xii", "XII"). Nothing
// for anything else, or for a value outside 1..9999.
std::optional<PageNumber> ReadPageNumber(std::string_view token);
// Only a roman numeral in canonical form ("iv", not "iiii"), either case, up to 399.
std::optional<int> ReadRoman(std::string_view token);
// "xii" for 12 (lower case, as front matter prints it).
std::string RomanLabel(int value);
std::string LabelOf(PageNumber number);

}  // namespace vellumark::structure
