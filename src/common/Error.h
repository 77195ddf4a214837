#pragma once
// The one exception type the engine libraries throw. It carries what a user needs to act on the
// failure (a code, the file and, where it applies, the page) so that the command line can map it
// to an exit code and the window can show its text.
//
// The libraries throw it and never turn it into a return value; only the edges catch: the end
// of epub::Convert (which hands failures back as a result), the command-line dispatcher and the
// window's command handlers.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace vellumark {

enum class ErrorCode {
    Usage,        // a command-line or field problem the user can fix
    BadInput,     // the input file is not something we can read (not a TIFF, truncated, ...)
    Unsupported,  // readable, but in a form we refuse (proprietary codec, ...)
    TooLarge,     // beyond a fixed limit (page pixels, archive size, entry count)
    Io,           // the file system failed us (cannot create, read or write)
    NoRoom,       // a write stored fewer bytes than asked for
    BadArchive,   // an existing archive could not be read for an update
    Cancelled,    // the user stopped the work
    Internal,     // anything else
};

class Error : public std::runtime_error {
public:
    Error(ErrorCode code, const std::string& message, std::filesystem::path path = {},
          std::optional<int> page = std::nullopt)
        : std::runtime_error(message), code_(code), path_(std::move(path)), page_(page) {}

    ErrorCode Code() const noexcept { return code_; }
    const std::filesystem::path& Path() const noexcept { return path_; }
    // 0-based page index the error concerns, when it concerns one.
    std::optional<int> Page() const noexcept { return page_; }

private:
    ErrorCode code_;
    std::filesystem::path path_;
    std::optional<int> page_;
};

// The error's text, with its path after it when the text does not already name the file: the
// one line the command line and the window show.
inline std::string DescribeError(const Error& error) {
    const std::string what = error.what();
    const std::string path = error.Path().string();
    if (path.empty() || what.find(path) != std::string::npos)
        return what;
    return what + ": " + path;
}

// Exit code of the command line for an error: 2 for what the user can fix, 1 for a failure.
inline int ExitCodeFor(ErrorCode code) noexcept {
    switch (code) {
        case ErrorCode::Usage:
        case ErrorCode::BadInput:
        case ErrorCode::Unsupported:
        case ErrorCode::TooLarge:
            return 2;
        default:
            return 1;
    }
}

}  // namespace vellumark
