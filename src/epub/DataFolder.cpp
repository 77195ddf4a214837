#include "epub/DataFolder.h"

#include <string>
#include <system_error>

#include "common/Error.h"
#include "epub/Folders.h"

namespace vellumark::epub {
namespace fs = std::filesystem;

fs::path DataFolder() {
    return FindDataFolder(ProgramFolder());
}

fs::path FindDataFolder(const fs::path& programFolder) {
    // VELLUMARK_INSTALLED_DATA comes from the install layout (GNUInstallDirs), normally
    // "../share/vellumark". Beside the program first, so that a build folder never picks up an
    // older installed copy.
    const fs::path candidates[] = {programFolder,
                                   (programFolder / VELLUMARK_INSTALLED_DATA).lexically_normal()};
    std::string lookedIn;
    for (const fs::path& folder : candidates) {
        std::error_code ec;
        if (fs::is_directory(folder / "epubfiles", ec))
            return folder;
        lookedIn += (lookedIn.empty() ? "" : " and ") + folder.string();
    }
    throw Error(ErrorCode::Io,
                "Cannot find the program's data (the epubfiles folder); looked in " + lookedIn,
                candidates[1]);
}

}  // namespace vellumark::epub
