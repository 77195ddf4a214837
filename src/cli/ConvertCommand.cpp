// vellumark convert INPUT [--title T] [--author A] [--cover FILE] [--output-dir DIR]
//                         [--overwrite] [--jobs N] [--quiet] [--format F] [--ocr] [--ocr-lang L]

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

}  // namespace

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
            std::cout << result.message << "\n";
            return 0;
        case epub::ConversionOutcome::Declined:
            return ReportError(AlreadyExists(result.output), 2);
        default:
            return ReportError(result.message, result.exitCode == 0 ? 1 : result.exitCode);
    }
}

}  // namespace vellumark::cli
