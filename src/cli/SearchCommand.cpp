// vellumark search INPUT WORD [--jobs N]: every hit of a word in a scan, through OCR.

#include <unistd.h>

#include <charconv>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "common/Error.h"
#include "imaging/Document.h"
#include "imaging/text/DocSearch.h"
#include "imaging/text/TextLayer.h"

namespace vellumark::cli {
namespace {

constexpr const char* kSearchUsage = "usage: vellumark search INPUT WORD [--jobs N]";

struct SearchArguments {
    std::string input;
    std::string word;
    int jobs = 0;  // 0: one per core
};

SearchArguments Parse(const Arguments& args) {
    SearchArguments parsed;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--jobs") {
            if (i + 1 == args.size())
                throw Error(ErrorCode::Usage, "--jobs needs a number");
            const std::string& value = args[++i];
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), parsed.jobs);
            if (error != std::errc() || end != value.data() + value.size() || parsed.jobs < 1) {
                throw Error(ErrorCode::Usage,
                            "--jobs needs a positive number, not \"" + value + "\"");
            }
        } else if (arg.starts_with("--") && arg.size() > 2) {
            throw Error(ErrorCode::Usage, "unknown option " + arg + " (" + kSearchUsage + ")");
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2)
        throw Error(ErrorCode::Usage, kSearchUsage);
    parsed.input = positional[0];
    parsed.word = positional[1];
    return parsed;
}

std::string Describe(const imaging::Hit& hit) {
    // Pages and words are counted from 1, like every counter the program shows.
    std::string line = "page " + std::to_string(hit.page + 1);
    if (hit.words.size() == 1) {
        line += ", word " + std::to_string(hit.words.front() + 1);
    } else if (!hit.words.empty()) {
        line += ", words " + std::to_string(hit.words.front() + 1) + "-" +
                std::to_string(hit.words.back() + 1);
    }
    return line + ": " + hit.text;
}

}  // namespace

int RunSearch(const Arguments& args) {
    try {
        const SearchArguments parsed = Parse(args);
        std::shared_ptr<const imaging::Document> document = imaging::Document::Open(parsed.input);
        const imaging::TextLayer text(document);

        const bool terminal = isatty(STDERR_FILENO) != 0;
        imaging::ReadAllPages(text, parsed.jobs, [&](int done, int total) {
            if (terminal)
                std::cerr << "\rReading page " << done << "/" << total << std::flush;
        });
        if (terminal && text.PageCount() > 0)
            std::cerr << "\r\033[K" << std::flush;

        const auto hits = imaging::FindAll(
            text.PageCount(), [&](int page) { return text.Words(page); }, parsed.word);
        for (const imaging::Hit& hit : hits)
            std::cout << Describe(hit) << "\n";
        std::cout << std::flush;
        return 0;
    } catch (const Error& e) {
        std::cerr << "vellumark: " << e.what() << "\n";
        return ExitCodeFor(e.Code());
    }
}

}  // namespace vellumark::cli
