// vellumark convert INPUT [--title T] [--author A] [--cover FILE] [--output-dir DIR]
//                         [--overwrite] [--jobs N] [--quiet]

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "cli/Commands.h"
#include "common/Error.h"
#include "epub/ConversionJob.h"
#include "epub/Folders.h"
#include "imaging/Document.h"

namespace vellumark::cli {
namespace {
namespace fs = std::filesystem;

struct ConvertArguments {
    std::string input;
    std::optional<std::string> title;
    std::string author;
    std::string cover;
    std::optional<std::string> outputFolder;
    bool overwrite = false;
    unsigned jobs = 0;
    bool quiet = false;
};

// One line on stderr: the command line's way of reporting any problem.
int Report(const std::string& text, int exitCode) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    std::cerr << "vellumark: " << line << "\n";
    return exitCode;
}

std::optional<unsigned> ParseJobs(const std::string& text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || value == 0)
        return std::nullopt;
    return value;
}

// Fills `out`; on a usage problem returns the line to show.
std::optional<std::string> ParseArguments(const Arguments& args, ConvertArguments& out) {
    bool haveInput = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg.resize(eq);
            }
        }
        const auto value = [&](std::string& target) -> std::optional<std::string> {
            if (inlineValue) {
                target = *inlineValue;
                return std::nullopt;
            }
            if (i + 1 >= args.size())
                return arg + " needs a value";
            target = args[++i];
            return std::nullopt;
        };
        std::optional<std::string> problem;
        if (arg == "--title") {
            problem = value(out.title.emplace());
        } else if (arg == "--author") {
            problem = value(out.author);
        } else if (arg == "--cover") {
            problem = value(out.cover);
        } else if (arg == "--output-dir") {
            problem = value(out.outputFolder.emplace());
        } else if (arg == "--jobs") {
            std::string text;
            problem = value(text);
            if (!problem) {
                const auto jobs = ParseJobs(text);
                if (!jobs)
                    return "--jobs needs a whole number of 1 or more, not \"" + text + "\"";
                out.jobs = *jobs;
            }
        } else if ((arg == "--overwrite" || arg == "--quiet") && !inlineValue) {
            (arg == "--overwrite" ? out.overwrite : out.quiet) = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option \"" + args[i] + "\" (see vellumark --help)";
        } else if (!haveInput) {
            out.input = arg;
            haveInput = true;
        } else {
            return "convert takes one input file (see vellumark --help)";
        }
        if (problem)
            return problem;
    }
    if (!haveInput)
        return "convert needs an input file (see vellumark --help)";
    return std::nullopt;
}

// Shows the conversion on the terminal: a progress bar on stderr when asked for.
class TerminalReporter final : public epub::ConversionReporter {
public:
    TerminalReporter(bool showProgress, bool overwrite)
        : showProgress_(showProgress), overwrite_(overwrite) {}
    ~TerminalReporter() override { EndBar(); }

    void Note(const std::string&) override { EndBar(); }  // shown from the result
    bool ConfirmOverwrite(const fs::path&) override { return overwrite_; }
    void Status(const std::string&) override {}
    void Progress(int done, int total) override {
        if (!showProgress_ || total <= 0)
            return;
        constexpr int kWidth = 40;
        const int filled = static_cast<int>(static_cast<long long>(done) * kWidth / total);
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(kWidth - filled), '.');
        std::fprintf(stderr, "\r[%s] %d/%d pages", bar.c_str(), done, total);
        std::fflush(stderr);
        barShown_ = true;
    }
    void EndBar() {
        if (!barShown_)
            return;
        std::fputc('\n', stderr);
        barShown_ = false;
    }

private:
    bool showProgress_;
    bool overwrite_;
    bool barShown_ = false;
};

}  // namespace

int RunConvert(const Arguments& args) {
    ConvertArguments arguments;
    if (auto problem = ParseArguments(args, arguments))
        return Report(*problem, 2);

    const fs::path input(arguments.input);
    std::error_code ec;
    const fs::file_status status = fs::status(input, ec);
    if (!fs::exists(status))
        return Report("cannot find the input file " + input.string(), 2);
    if (fs::is_directory(status)) {
        return Report(input.string() + " is a folder, not a TIFF or MDI file", 2);
    }
    // A pipe or a device could block the read forever.
    if (!fs::is_regular_file(status)) {
        return Report(input.string() + " is not a regular file, not a TIFF or MDI file", 2);
    }

    epub::ConversionSettings settings;
    settings.title = arguments.title ? *arguments.title : input.stem().string();
    settings.author = arguments.author;
    settings.cover = arguments.cover;
    if (arguments.outputFolder) {
        settings.outputFolder = *arguments.outputFolder;
    } else {
        settings.outputFolder = fs::current_path(ec).string();
        if (ec)
            settings.outputFolder = ".";
    }
    settings.jobs = arguments.jobs;

    // Refuse an existing book before the work, not after it; the job checks again.
    if (!settings.title.empty() && !settings.author.empty() && !settings.outputFolder.empty() &&
        !arguments.overwrite && fs::exists(fs::symlink_status(epub::OutputPathFor(settings), ec))) {
        return Report(epub::OutputPathFor(settings).string() +
                          " already exists (add --overwrite to replace it)",
                      2);
    }

    try {
        const std::unique_ptr<imaging::Document> document = imaging::Document::Open(input);
        epub::WorkingFolder workingFolder = epub::WorkingFolder::CreatePrivate();
        settings.workingFolder = workingFolder.Path();

        TerminalReporter reporter(!arguments.quiet && ::isatty(STDERR_FILENO) == 1,
                                  arguments.overwrite);
        const epub::ConversionResult result = epub::Convert(document.get(), settings, reporter);
        reporter.EndBar();
        switch (result.outcome) {
            case epub::ConversionOutcome::Succeeded:
                std::cout << result.message << "\n";
                return 0;
            case epub::ConversionOutcome::Declined:
                return Report(
                    result.output.string() + " already exists (add --overwrite to replace it)", 2);
            default:
                return Report(result.message, result.exitCode == 0 ? 1 : result.exitCode);
        }
    } catch (const Error& e) {
        return Report(e.what(), ExitCodeFor(e.Code()));
    }
}

}  // namespace vellumark::cli
