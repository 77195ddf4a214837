#pragma once
// The clean-up options of `convert` and `info`, read into what the engine takes.

#include <optional>
#include <string_view>

#include "imaging/cleanup/CleanupPlan.h"

namespace vellumark::cli {

class ParsedArguments;

// A length such as "5mm", "0.5cm", "0.25in" or "12pt" (a bare number is millimetres), in inches;
// nothing when it is not one, or is negative or beyond 2 inches.
std::optional<double> ParseMargin(std::string_view text);

// What the options ask for; no step when none is given. Throws vellumark::Error (Usage) for a bad
// --margin, for --margin without cropping and --right-to-left without splitting, and for
// --upright when Tesseract's orientation data is missing (with --clean, pages are then left
// the way they were scanned, and `warn` is set).
imaging::CleanupOptions CleanupOf(const ParsedArguments& arguments, bool& warn);

// The one line said when --clean cannot turn pages upright.
inline constexpr std::string_view kNoOrientationDataText =
    "pages are not turned upright: Tesseract's orientation data is missing (the package "
    "tesseract-ocr-osd)";

}  // namespace vellumark::cli
