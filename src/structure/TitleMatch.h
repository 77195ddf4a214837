#pragma once
// How alike two titles are, as a reader would judge them: letter case, punctuation and spacing
// do not count.

#include <string>
#include <string_view>

namespace vellumark::structure {

// Lower-case letters and digits, words separated by one space.
std::string NormalisedTitle(std::string_view title);
// 1 for the same title, 0 for nothing in common: one minus the edit distance of the normalised
// titles over the longer one's length.
double TitleSimilarity(std::string_view a, std::string_view b);

}  // namespace vellumark::structure
