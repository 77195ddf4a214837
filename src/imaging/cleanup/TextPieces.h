#pragma once
// Which pieces of ink look like letters or words, by their size on paper.

#include <vector>

#include "imaging/cleanup/InkMap.h"

namespace vellumark::imaging {

// Fewer letter-like pieces than this, and a page is not taken to hold text.
inline constexpr std::size_t kMinTextPieces = 20;

// The reduction that brings a page of `dpi` to about 150 dpi, where letters are still apart.
int AnalysisFactor(double dpi);

// The pieces of the size of letters, figures or words at `mapDpi` map pixels per inch: rules,
// borders, pictures and specks are left out.
std::vector<InkPiece> TextPieces(const std::vector<InkPiece>& pieces, double mapDpi);

}  // namespace vellumark::imaging
