#include "cli/ShelfDisplay.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <system_error>

#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "common/Utf8.h"

namespace vellumark::cli {
namespace {

// What Send to Kindle takes, and about where a reader starts to page slowly.
constexpr std::uintmax_t kLargeBook = std::uintmax_t{200} << 20;

std::string Duration(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    if (whole < 60)
        return std::to_string(whole) + " s";
    if (whole < 3600)
        return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
    return std::to_string(whole / 3600) + " h " + std::to_string(whole % 3600 / 60) + " min";
}

const char* ResultName(epub::BookOutcome outcome) {
    switch (outcome) {
        case epub::BookOutcome::Converted:
            return "converted";
        case epub::BookOutcome::Skipped:
            return "skipped";
        case epub::BookOutcome::Cancelled:
            return "cancelled";
        case epub::BookOutcome::Failed:
            break;
    }
    return "failed";
}

}  // namespace

std::string HumanSize(std::uintmax_t bytes) {
    if (bytes < 1000)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const double value = static_cast<double>(bytes);
    char text[32];
    // Each unit up to where its rounded figure would read 1000: 999,600 bytes is "1.0 MB".
    if (value < 999.5e3)
        std::snprintf(text, sizeof text, "%.0f KB", value / 1e3);
    else if (value < 999.95e6)
        std::snprintf(text, sizeof text, "%.1f MB", value / 1e6);
    else if (value < 999.95e9)
        std::snprintf(text, sizeof text, "%.1f GB", value / 1e9);
    else
        std::snprintf(text, sizeof text, "%.1f TB", value / 1e12);
    return text;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = DecodeUtf8(text, at);
        at += c.length;
        if (!c.valid) {
            out += "\\ufffd";
        } else if (c.value == '"' || c.value == '\\') {
            out += '\\';
            out += static_cast<char>(c.value);
        } else if (c.value < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c.value));
            out += escape;
        } else {
            AppendUtf8(out, c.value);
        }
    }
    return out + "\"";
}

ShelfDisplay::ShelfDisplay(DisplayOptions options)
    : options_(options), progress_(!options.quiet), start_(std::chrono::steady_clock::now()) {}

void ShelfDisplay::Progress(const epub::ShelfProgress& progress) {
    if (!progress_.Enabled() || progress.pagesTotal <= 0)
        return;
    const int steps = std::max(progress.stepsPerSheet, 1);
    std::string caption = std::to_string(progress.pagesDone / steps) + "/" +
                          std::to_string(progress.pagesTotal / steps) + " pages";
    if (options_.shelf) {
        caption += ", " + std::to_string(progress.booksDone) + "/" +
                   std::to_string(progress.booksTotal) + " books";
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    // After a few pages the rate is worth an estimate.
    if (progress.pagesDone >= 3 && progress.pagesDone < progress.pagesTotal && elapsed > 2) {
        const double left =
            elapsed / progress.pagesDone * (progress.pagesTotal - progress.pagesDone);
        caption += ", " + Duration(left) + " left";
    }
    progress_.Show(static_cast<std::uint64_t>(progress.pagesDone),
                   static_cast<std::uint64_t>(progress.pagesTotal), caption);
}

void ShelfDisplay::BookDone(const epub::BookReport& report) {
    progress_.Clear();
    last_ = report;
    std::error_code ec;
    const std::uintmax_t size = report.outcome == epub::BookOutcome::Converted
                                    ? std::filesystem::file_size(report.output, ec)
                                    : 0;
    if (options_.json) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", report.seconds);
        const bool failed = report.outcome == epub::BookOutcome::Failed ||
                            report.outcome == epub::BookOutcome::Cancelled;
        std::cout << "{\"input\": " << JsonString(report.input.string())
                  << ", \"output\": " << JsonString(report.output.string())
                  << ", \"pages\": " << report.pages << ", \"seconds\": " << seconds
                  << ", \"result\": \"" << ResultName(report.outcome) << "\", \"error\": "
                  << (failed ? JsonString(report.message) : std::string("null")) << "}"
                  << std::endl;
    }
    switch (report.outcome) {
        case epub::BookOutcome::Converted:
            if (!options_.quiet && !options_.json) {
                std::cout << report.message << (ec ? "" : " (" + HumanSize(size) + ")")
                          << std::endl;
            }
            if (!ec && size > kLargeBook) {
                ReportError("warning: " + report.output.string() + " is " + HumanSize(size) +
                                ", more than the 200 MiB that Send to Kindle takes and a lot "
                                "for a reader to page through; a smaller --profile or a lower "
                                "--quality makes it smaller",
                            0);
            }
            break;
        case epub::BookOutcome::Skipped:
            if (options_.shelf && !options_.quiet && !options_.json) {
                std::cout << "Skipped: " << report.output.string()
                          << " already exists (add --overwrite to replace it)" << std::endl;
            }
            break;
        case epub::BookOutcome::Failed:
            if (options_.shelf)
                ReportError(report.input.string() + ": " + report.message, 1);
            break;
        case epub::BookOutcome::Cancelled:
            break;  // one line says so for the whole run
    }
}

bool ShelfDisplay::CancelRequested() {
    return Interruption::Signal() != 0;
}

void ShelfDisplay::Summary(const epub::ShelfSummary& summary) {
    progress_.Clear();
    if (options_.quiet || options_.json || !options_.shelf)
        return;
    std::cout << summary.converted << " converted, " << summary.skipped << " skipped, "
              << summary.failed << " failed" << std::endl;
}

}  // namespace vellumark::cli
