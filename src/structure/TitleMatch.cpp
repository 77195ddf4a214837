#include "structure/TitleMatch.h"

#include <algorithm>
#include <vector>

namespace vellumark::structure {

std::string NormalisedTitle(std::string_view title) {
    std::string out;
    bool space = false;
    for (char c : title) {
        const auto u = static_cast<unsigned char>(c);
        const bool keep =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || u >= 0x80;
        if (!keep) {
            space = !out.empty();
            continue;
        }
        if (space)
            out += ' ';
        space = false;
        out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return out;
}

double TitleSimilarity(std::string_view a, std::string_view b) {
    const std::string x = NormalisedTitle(a);
    const std::string y = NormalisedTitle(b);
    if (x.empty() && y.empty())
        return 1.0;
    std::vector<std::size_t> row(y.size() + 1);
    for (std::size_t j = 0; j <= y.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= x.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= y.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] != y[j - 1])});
            diagonal = above;
        }
    }
    return 1.0 -
           static_cast<double>(row[y.size()]) / static_cast<double>(std::max(x.size(), y.size()));
}

}  // namespace vellumark::structure
