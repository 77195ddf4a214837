// `vellumark info INPUT`: what a scan holds, page by page, and the picture each page becomes;
// with clean-up options, what clean-up measures and makes of each sheet.

#include <cmath>
#include <iostream>
#include <sstream>

#include "cli/CleanupArguments.h"
#include "cli/Commands.h"
#include "cli/ParsedArguments.h"
#include "cli/ShelfDisplay.h"
#include "imaging/ScanDocument.h"
#include "imaging/cleanup/CleanedPages.h"

namespace vellumark::cli {
namespace {

std::string Number(double v) {
    std::ostringstream out;
    const double shown =
        std::abs(v - std::round(v)) < 0.005 ? std::round(v) : std::round(v * 100) / 100;
    // A skew a hair below zero rounds to -0, which reads as a turn.
    out << (shown == 0 ? 0.0 : shown);
    return out.str();
}

std::string Resolution(const imaging::PageInfo& info) {
    if (info.xResolution <= 0)
        return "no resolution";
    if (std::abs(info.xResolution - info.yResolution) < 0.005)
        return Number(info.xResolution) + " dpi";
    return Number(info.xResolution) + " x " + Number(info.yResolution) + " dpi";
}

std::string BoxText(const imaging::PixelBox& box) {
    return std::to_string(box.Width()) + " x " + std::to_string(box.Height()) + " at " +
           std::to_string(box.left) + "," + std::to_string(box.top);
}

std::string BoxJson(const imaging::PixelBox& box) {
    return "{\"left\": " + std::to_string(box.left) + ", \"top\": " + std::to_string(box.top) +
           ", \"width\": " + std::to_string(box.Width()) +
           ", \"height\": " + std::to_string(box.Height()) + "}";
}

// The part of the levelled sheet a page is cut from: its box, or all of its area.
imaging::PixelBox CutOf(const imaging::PagePlan& plan) {
    return plan.box.Empty() ? plan.area : plan.box;
}

std::string SheetPart(const imaging::PagePlan& plan) {
    if (plan.fold < 0)
        return "";
    // A page levelled by its own angle has the fold aslant across its area's edge.
    const bool left = plan.area.left + plan.area.right < 2 * plan.fold;
    return (left ? ", left of the fold at x " : ", right of the fold at x ") +
           std::to_string(plan.fold);
}

void PrintCleanedText(const imaging::CleanedPages& pages) {
    const int count = pages.PageCount();
    std::cout << "cleaned up: " << count << (count == 1 ? " page\n" : " pages\n");
    for (int page = 0; page < count; ++page) {
        const imaging::PagePlan& plan = pages.PlanOf(page);
        std::cout << "page " << page + 1 << ": sheet " << plan.sheet + 1 << SheetPart(plan);
        if (plan.quarters != 0)
            std::cout << ", turned " << plan.quarters * 90 << " degrees";
        if (plan.skewMeasured)
            std::cout << ", skew " << Number(plan.skew) << " degrees";
        else
            std::cout << ", skew not measured";
        if (plan.degrees != 0)
            std::cout << " (levelled)";
        if (!plan.content.Empty())
            std::cout << ", content " << BoxText(plan.content);
        std::cout << ", cut " << BoxText(CutOf(plan)) << "\n";
    }
}

void PrintJson(const std::string& input, const imaging::ScanDocument& document,
               const imaging::CleanedPages* cleaned) {
    std::cout << "{\"input\": " << JsonString(input)
              << ", \"kind\": " << JsonString(document.KindName()) << ", \"pages\": [";
    for (int page = 0; page < document.PageCount(); ++page) {
        const imaging::PageInfo info = document.Info(page);
        std::cout << (page == 0 ? "" : ", ") << "{\"page\": " << page + 1
                  << ", \"width\": " << info.width << ", \"height\": " << info.height
                  << ", \"xResolution\": " << Number(info.xResolution)
                  << ", \"yResolution\": " << Number(info.yResolution)
                  << ", \"layout\": " << JsonString(info.layout)
                  << ", \"codec\": " << JsonString(info.codec)
                  << ", \"orientation\": " << info.orientation
                  << ", \"pictureWidth\": " << info.pictureWidth
                  << ", \"pictureHeight\": " << info.pictureHeight;
        if (!info.source.empty())
            std::cout << ", \"source\": " << JsonString(info.source);
        std::cout << "}";
    }
    std::cout << "]";
    if (cleaned != nullptr) {
        std::cout << ", \"cleaned\": [";
        for (int page = 0; page < cleaned->PageCount(); ++page) {
            const imaging::PagePlan& plan = cleaned->PlanOf(page);
            std::cout << (page == 0 ? "" : ", ") << "{\"page\": " << page + 1
                      << ", \"sheet\": " << plan.sheet + 1 << ", \"resolution\": "
                      << (cleaned->Resolution(page) > 0 ? Number(cleaned->Resolution(page))
                                                        : std::string("null"))
                      << ", \"quarterTurns\": " << plan.quarters << ", \"skew\": "
                      << (plan.skewMeasured ? Number(plan.skew) : std::string("null"))
                      << ", \"rotation\": " << Number(plan.degrees) << ", \"content\": "
                      << (plan.content.Empty() ? std::string("null") : BoxJson(plan.content))
                      << ", \"fold\": "
                      << (plan.fold < 0 ? std::string("null") : std::to_string(plan.fold))
                      << ", \"cut\": " << BoxJson(CutOf(plan)) << "}";
        }
        std::cout << "]";
    }
    std::cout << "}\n";
}

}  // namespace

int RunInfo(const ParsedArguments& arguments) {
    const std::string& input = arguments.Operands()[0];
    bool warn = false;
    const imaging::CleanupOptions cleanup = CleanupOf(arguments, warn);
    const std::shared_ptr<const imaging::ScanDocument> document =
        imaging::OpenScanDocument(input, RenderDpiOf(arguments));
    std::shared_ptr<const imaging::CleanedPages> cleaned;
    if (cleanup.Any()) {
        if (warn)
            ReportError(std::string(kNoOrientationDataText), 0);
        Scheduler scheduler(0);
        cleaned = imaging::CleanedPages::Plan(
            document, cleanup, [&document](int sheet) { return document->Resolution(sheet); },
            scheduler);
    }
    if (arguments.Has(Option::Json)) {
        PrintJson(input, *document, cleaned.get());
        std::cout.flush();
        return std::cout ? 0 : 1;
    }
    const int pages = document->PageCount();
    std::cout << input << ": " << document->KindName() << ", " << pages
              << (pages == 1 ? " page\n" : " pages\n");
    for (int page = 0; page < pages; ++page) {
        const imaging::PageInfo info = document->Info(page);
        std::cout << "page " << page + 1 << ": " << info.width << " x " << info.height
                  << " pixels, " << Resolution(info) << ", " << info.layout << ", " << info.codec;
        if (info.orientation != 1)
            std::cout << ", orientation " << info.orientation;
        std::cout << ", picture " << info.pictureWidth << " x " << info.pictureHeight;
        if (!info.source.empty())
            std::cout << ", from " << info.source;
        std::cout << "\n";
    }
    if (cleaned)
        PrintCleanedText(*cleaned);
    std::cout.flush();
    return std::cout ? 0 : 1;
}

}  // namespace vellumark::cli
