// `vellumark pack FOLDER ARCHIVE`: packs a folder exactly as a book's working folder is packed
// (mimetype first and stored), updating ARCHIVE when it already exists.

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "cli/Commands.h"
#include "zip/ZipFolder.h"

namespace vellumark::cli {

int RunPack(const Arguments& args) {
    if (args.size() != 2 || args[0].empty() || args[1].empty() || args[0][0] == '-' ||
        args[1][0] == '-') {
        std::cerr << "vellumark: usage: vellumark pack FOLDER ARCHIVE\n";
        return 2;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(args[0], ec)) {
        std::cerr << "vellumark: \"" << args[0] << "\" is not a folder\n";
        return 2;
    }
    zip::ZipFolderOptions options;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    int shown = -1;
    if (terminal) {
        options.progress = [&shown](std::uint64_t done, std::uint64_t total) {
            const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
            if (percent == shown)
                return;
            shown = percent;
            std::cerr << "\rPacking " << percent << "%" << std::flush;
        };
    }
    std::string error;
    const bool ok = zip::ZipFolder(args[1], args[0], options, &error);
    if (terminal && shown >= 0)
        std::cerr << "\r\033[K" << std::flush;
    if (!ok) {
        std::cerr << "vellumark: " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace vellumark::cli
