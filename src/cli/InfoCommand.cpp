// `vellumark info INPUT`: what a scan holds, page by page, and the picture each page becomes.

#include <cmath>
#include <iostream>
#include <sstream>

#include "cli/Commands.h"
#include "cli/ParsedArguments.h"
#include "imaging/Document.h"

namespace vellumark::cli {
namespace {

std::string Number(double v) {
    std::ostringstream out;
    out << (std::abs(v - std::round(v)) < 0.005 ? std::round(v) : std::round(v * 100) / 100);
    return out.str();
}

std::string Resolution(const imaging::PageInfo& info) {
    if (info.xResolution <= 0)
        return "no resolution";
    if (std::abs(info.xResolution - info.yResolution) < 0.005)
        return Number(info.xResolution) + " dpi";
    return Number(info.xResolution) + " x " + Number(info.yResolution) + " dpi";
}

}  // namespace

int RunInfo(const ParsedArguments& arguments) {
    const std::string& input = arguments.Operands()[0];
    const auto document = imaging::Document::Open(input);
    const int pages = document->PageCount();
    std::cout << input << ": " << pages << (pages == 1 ? " page\n" : " pages\n");
    for (int page = 0; page < pages; ++page) {
        const imaging::PageInfo info = document->Info(page);
        std::cout << "page " << page + 1 << ": " << info.width << " x " << info.height
                  << " pixels, " << Resolution(info) << ", " << info.layout << ", " << info.codec;
        if (info.orientation != 1)
            std::cout << ", orientation " << info.orientation;
        std::cout << ", picture " << info.pictureWidth << " x " << info.pictureHeight << "\n";
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}

}  // namespace vellumark::cli
