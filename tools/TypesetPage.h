#pragma once
// The page the typeset test books are set on: 1200 x 1800 pixels, a text block with a running
// head above it and a foot below.

namespace vellumark::tools::typeset {

constexpr int kBody = 24;   // letter height of the text
constexpr int kPitch = 36;  // line to line
constexpr int kLeft = 150;
constexpr int kRight = 1050;
constexpr int kTextTop = 200;
constexpr int kTextBottom = 1600;
constexpr int kHeadY = 90;
constexpr int kFootY = 1690;

}  // namespace vellumark::tools::typeset
