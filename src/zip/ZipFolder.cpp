#include "zip/ZipFolder.h"

#include <sys/stat.h>

#include "common/Error.h"
#include "zip/VCLZip.h"

namespace vellumark::zip {

void ZipFolder(const std::filesystem::path& archivePath, const std::filesystem::path& folder,
               const ZipFolderOptions& options) {
    std::string root = folder.string();
    if (root.size() > 1 && root.back() == '/')
        root.pop_back();
    if (root.empty())
        throw Error(ErrorCode::Usage, "No folder to pack");
    const std::string prefix = root.back() == '/' ? root : root + "/";

    TVCLZip zip;
    zip.SetRootDir(root);
    zip.SetRelativePaths(true);
    zip.ZipName = archivePath;
    zip.FilesList.clear();
    // A book's "mimetype" must come first and be stored: it is named on a line of its own in
    // front of the walk (whose copy of it is then skipped as a second file of that name).
    const std::string mimetype = prefix + "mimetype";
    struct stat st {};
    if (::stat(mimetype.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        zip.FilesList.push_back(mimetype);
        zip.NoCompressList.push_back(mimetype);
    }
    zip.FilesList.push_back(prefix + "*.*");
    zip.Jobs = options.jobs;
    if (options.bytesInFlight > 0)
        zip.BytesInFlight = options.bytesInFlight;
    zip.Progress = options.progress;
    zip.EntryTime = options.entryTime;
    zip.WriteArchive();
}

}  // namespace vellumark::zip
