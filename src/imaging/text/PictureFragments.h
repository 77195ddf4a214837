#pragma once
// Telling what OCR read from pictures (drawn shapes, rules, photographs) from the words of a
// page. Tesseract reads something into nearly every patch of ink; where it is unsure of a
// reading, the ink under the reading's box says whether it could be type at all.

#include <string_view>

#include "imaging/Picture.h"

namespace vellumark::imaging {

// What the ink under a box looks like.
struct InkShape {
    // Share of the ink lying in strokes thicker, across and along, than a third of the box's
    // height: type is drawn in thin strokes, filled shapes are solid.
    double solidShare = 0;
    // Share of the box in middle tones: photographs, not paper or ink.
    double greyShare = 0;
    // One piece of ink reaches all four sides of the box (an outline, a rule, a frame).
    bool spanned = false;
    // Share of the box that is paper enclosed by ink (the inside of a ring or an outline).
    double enclosedShare = 0;
    // Pieces of ink (8-connected) in the box: a halftone is hundreds of dots.
    int pieces = 0;
    int height = 0;  // the box's, in pixels
};

// Measures the box (picture pixels; clipped to the picture).
InkShape MeasureInk(const GreyPicture& picture, int left, int top, int width, int height);

// Tesseract's confidence (0 to 100) at or above which a reading is kept whatever the ink.
inline constexpr float kSureReading = 80;

// True when a reading of `text` with `confidence` over ink shaped so is no word but a picture.
// `typeHeight` is the height of the page's readings, typically (0: not known). Tesseract is
// sure of many of its readings of shapes the size of type (a disc is "@", a triangle "A"), so
// solid ink is a drawing whatever the confidence, and so is a symbol read from one ring or
// outline, or from ink far taller than the type; otherwise only unsure readings over ink
// unlike type are. A ring read as a letter ("O") stays: its ink is that of the letter.
bool IsPictureFragment(const InkShape& ink, std::string_view text, float confidence,
                       double typeHeight);

}  // namespace vellumark::imaging
