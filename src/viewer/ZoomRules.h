#pragma once
// The zoom commands' steps and bounds, without a window.

namespace vellumark::viewer {

// Whole steps for 1 <= s < 9, tenth steps for 0.15 < s < 1, otherwise unchanged.
double ZoomInStep(double scale);
// Whole steps for 1 < s < 10, tenth steps for 0.25 < s <= 1, otherwise unchanged.
double ZoomOutStep(double scale);

}  // namespace vellumark::viewer
