#include "cli/CleanupArguments.h"

#include <charconv>
#include <string>

#include "cli/ParsedArguments.h"
#include "common/Error.h"
#include "imaging/text/TextLayer.h"

namespace vellumark::cli {

std::optional<double> ParseMargin(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data())
        return std::nullopt;
    const std::string_view unit(end, static_cast<std::size_t>(text.data() + text.size() - end));
    double inches = 0;
    if (unit.empty() || unit == "mm") {
        inches = value / 25.4;
    } else if (unit == "cm") {
        inches = value / 2.54;
    } else if (unit == "in") {
        inches = value;
    } else if (unit == "pt") {
        inches = value / 72;
    } else {
        return std::nullopt;
    }
    if (!(inches >= 0 && inches <= 2))
        return std::nullopt;
    return inches;
}

imaging::CleanupOptions CleanupOf(const ParsedArguments& arguments, bool& warn) {
    warn = false;
    imaging::CleanupOptions options;
    const bool all = arguments.Has(Option::Clean);
    options.upright = all || arguments.Has(Option::Upright);
    options.deskew = all || arguments.Has(Option::Deskew);
    options.crop = all || arguments.Has(Option::Crop);
    options.splitSpreads = all || arguments.Has(Option::SplitSpreads);
    options.despeckle = all;
    options.rightToLeft = arguments.Has(Option::RightToLeft);
    if (options.rightToLeft && !options.splitSpreads)
        throw Error(ErrorCode::Usage,
                    "--right-to-left is used only with --split-spreads or --clean");
    if (const auto margin = arguments.Value(Option::Margin)) {
        if (!options.crop)
            throw Error(ErrorCode::Usage, "--margin is used only with --crop or --clean");
        const auto inches = ParseMargin(*margin);
        if (!inches) {
            throw Error(ErrorCode::Usage,
                        "--margin is a length from 0 to 2in, such as 5mm or "
                        "0.25in, not \"" +
                            *margin + "\"");
        }
        options.marginInches = *inches;
    }
    if (options.upright && !imaging::OrientationDataInstalled()) {
        if (!all || arguments.Has(Option::Upright)) {
            throw Error(ErrorCode::Usage,
                        "--upright needs Tesseract's orientation data (the package "
                        "tesseract-ocr-osd)");
        }
        options.upright = false;
        warn = true;
    }
    return options;
}

}  // namespace vellumark::cli
