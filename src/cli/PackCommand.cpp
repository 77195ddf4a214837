// `vellumark pack FOLDER ARCHIVE`: packs a folder exactly as a book's working folder is packed
// (mimetype first and stored), updating ARCHIVE when it already exists.

#include <filesystem>
#include <string>

#include "cli/Commands.h"
#include "cli/ParsedArguments.h"
#include "cli/TerminalProgress.h"
#include "common/Error.h"
#include "zip/ZipFolder.h"

namespace vellumark::cli {

int RunPack(const ParsedArguments& arguments) {
    const std::string& folder = arguments.Operands()[0];
    const std::string& archive = arguments.Operands()[1];
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        throw Error(ErrorCode::Usage, "\"" + folder + "\" is not a folder", folder);
    TerminalProgress progress;
    zip::ZipFolderOptions options;
    if (progress.Enabled()) {
        options.progress = [&progress](std::uint64_t done, std::uint64_t total) {
            const auto percent = total == 0 ? 100 : done * 100 / total;
            progress.Show(done, total, "Packing " + std::to_string(percent) + "%");
        };
    }
    zip::ZipFolder(archive, folder, options);
    return 0;
}

}  // namespace vellumark::cli
