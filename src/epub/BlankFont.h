#pragma once
// The font of a book's invisible text layer: every character is one empty glyph 0.5 em wide,
// with an ascent of 0.8 em and a descent of 0.2 em, so a line's content area is exactly its
// font size and a word's width follows from its length. The glyphs have no outlines, so the
// text stays invisible even where a reading system overrides its colour.

#include <string>

namespace vellumark::epub {

inline constexpr const char* kBlankFontName = "ocr-blank.ttf";
inline constexpr const char* kBlankFontFamily = "VellumarkOCR";
// A character's advance, in em.
inline constexpr double kBlankFontAdvance = 0.5;
// The font's ascent, in em: in a line box as high as the font size, the baseline lies this far
// below the top.
inline constexpr double kBlankFontAscent = 0.8;

// The TrueType file. The same bytes on every call.
std::string BlankFontBytes();

}  // namespace vellumark::epub
