// vellumark convert INPUT [--title T] [--author A] [--cover FILE] [--output-dir DIR]
//                         [--overwrite] [--jobs N] [--quiet] [--format F] [--ocr] [--ocr-lang L]

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "cli/Commands.h"
#include "cli/ParsedArguments.h"
#include "cli/TerminalProgress.h"
#include "common/Error.h"
#include "epub/ConversionJob.h"
#include "epub/DeviceProfiles.h"
#include "epub/Folders.h"
#include "imaging/Document.h"
#include "imaging/text/TextLayer.h"

namespace vellumark::cli {
namespace {
namespace fs = std::filesystem;

// Shows the conversion on the terminal: the progress line, unless asked for quiet.
class TerminalReporter final : public epub::ConversionReporter {
public:
    TerminalReporter(bool quiet, bool overwrite) : progress_(!quiet), overwrite_(overwrite) {}

    void Note(const std::string&) override { progress_.Clear(); }  // shown from the result
    bool ConfirmOverwrite(const fs::path&) override { return overwrite_; }
    void Status(const std::string&) override {}
    void Progress(int done, int total) override {
        if (total > 0) {
            progress_.Show(static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(total),
                           std::to_string(done) + "/" + std::to_string(total) + " pages");
        }
    }
    void EndProgress() { progress_.Clear(); }

private:
    TerminalProgress progress_;
    bool overwrite_;
};

std::string AlreadyExists(const fs::path& book) {
    return book.string() + " already exists (add --overwrite to replace it)";
}

// What Send to Kindle takes, and about where a reader starts to page slowly.
constexpr std::uintmax_t kLargeBook = std::uintmax_t{200} << 20;

std::string Megabytes(std::uintmax_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

// The result line with the book's size, and a warning for a book too big for some readers.
void ReportBook(const fs::path& book, const std::string& message) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(book, ec);
    std::cout << message << (ec ? "" : " (" + Megabytes(size) + ")") << "\n";
    if (!ec && size > kLargeBook) {
        ReportError("warning: " + book.string() + " is " + Megabytes(size) +
                        ", more than the 200 MiB that Send to Kindle takes and a lot for a "
                        "reader to page through; a smaller --profile or a lower --quality makes "
                        "it smaller",
                    0);
    }
}

// The screen asked for with --profile or --page-size (not both), or none.
std::optional<epub::PageBox> PageBoxOf(const ParsedArguments& arguments) {
    const auto profile = arguments.Value("--profile");
    const auto size = arguments.Value("--page-size");
    if (profile && size)
        throw Error(ErrorCode::Usage, "--profile and --page-size both set the page size; give one");
    if (profile) {
        const epub::DeviceProfile* found = epub::FindDeviceProfile(*profile);
        if (found == nullptr) {
            throw Error(ErrorCode::Usage, "no device profile \"" + *profile +
                                              "\" (vellumark convert --profile list shows them)");
        }
        return found->screen;
    }
    if (size) {
        const auto box = epub::ParsePageSize(*size);
        if (!box) {
            throw Error(
                ErrorCode::Usage,
                "--page-size is WIDTHxHEIGHT in pixels, such as 1264x1680, not \"" + *size + "\"");
        }
        return box;
    }
    return std::nullopt;
}

}  // namespace

int AnswerConvert(const ParsedArguments& arguments) {
    if (arguments.Value("--profile") != "list")
        return -1;
    std::cout << epub::DeviceProfileTable();
    return 0;
}

int RunConvert(const ParsedArguments& arguments) {
    const fs::path input(arguments.Operands()[0]);
    const bool overwrite = arguments.Has("--overwrite");
    std::error_code ec;
    const fs::file_status status = fs::status(input, ec);
    if (!fs::exists(status))
        throw Error(ErrorCode::BadInput, "cannot find the input file " + input.string(), input);
    if (fs::is_directory(status)) {
        throw Error(ErrorCode::BadInput, input.string() + " is a folder, not a TIFF or MDI file",
                    input);
    }
    // A pipe or a device could block the read forever.
    if (!fs::is_regular_file(status)) {
        throw Error(ErrorCode::BadInput,
                    input.string() + " is not a regular file, not a TIFF or MDI file", input);
    }

    epub::ConversionSettings settings;
    settings.title = arguments.Value("--title").value_or(input.stem().string());
    settings.author = arguments.Value("--author").value_or("");
    settings.cover = arguments.Value("--cover").value_or("");
    if (const auto folder = arguments.Value("--output-dir")) {
        settings.outputFolder = *folder;
    } else {
        settings.outputFolder = fs::current_path(ec).string();
        if (ec)
            settings.outputFolder = ".";
    }
    settings.jobs = arguments.Count("--jobs", 0);
    if (const auto format = arguments.Value("--format")) {
        const auto parsed = epub::ParseBookFormat(*format);
        if (!parsed) {
            throw Error(ErrorCode::Usage, "--format is epub2 or epub3, not \"" + *format + "\"");
        }
        settings.format = *parsed;
    }
    const bool ocr = arguments.Has("--ocr");
    if (ocr && settings.format != epub::BookFormat::Epub3) {
        throw Error(ErrorCode::Usage,
                    "--ocr needs --format epub3: positioned text needs fixed-layout pages");
    }
    const auto ocrLanguage = arguments.Value("--ocr-lang");
    if (ocrLanguage && !ocr)
        throw Error(ErrorCode::Usage, "--ocr-lang is used only with --ocr");
    const std::string language = ocrLanguage.value_or(imaging::kDefaultOcrLanguage);
    settings.pageBox = PageBoxOf(arguments);
    if (settings.pageBox && settings.format != epub::BookFormat::Epub3) {
        throw Error(ErrorCode::Usage,
                    std::string(arguments.Has("--profile") ? "--profile" : "--page-size") +
                        " needs --format epub3: the pages of an EPUB 2 book "
                        "fit any screen by themselves");
    }
    settings.quality = static_cast<int>(arguments.Count("--quality", 90));
    if (settings.quality > 100)
        throw Error(ErrorCode::Usage,
                    "--quality is 1 to 100, not " + std::to_string(settings.quality));
    // Before any work, so that a missing language costs nothing but one line.
    if (ocr)
        imaging::CheckOcrLanguage(language);

    // Refuse an existing book before the work, not after it; the job checks again.
    if (!settings.title.empty() && !settings.author.empty() && !settings.outputFolder.empty() &&
        !overwrite && fs::exists(fs::symlink_status(epub::OutputPathFor(settings), ec))) {
        return ReportError(AlreadyExists(epub::OutputPathFor(settings)), 2);
    }

    const std::shared_ptr<const imaging::Document> document = imaging::Document::Open(input);
    if (ocr)
        settings.text = std::make_shared<const imaging::TextLayer>(document, language);
    epub::WorkingFolder workingFolder = epub::WorkingFolder::CreatePrivate();
    settings.workingFolder = workingFolder.Path();

    TerminalReporter reporter(arguments.Has("--quiet"), overwrite);
    const epub::ConversionResult result = epub::Convert(document.get(), settings, reporter);
    reporter.EndProgress();
    switch (result.outcome) {
        case epub::ConversionOutcome::Succeeded:
            ReportBook(result.output, result.message);
            return 0;
        case epub::ConversionOutcome::Declined:
            return ReportError(AlreadyExists(result.output), 2);
        default:
            return ReportError(result.message, result.exitCode == 0 ? 1 : result.exitCode);
    }
}

}  // namespace vellumark::cli
