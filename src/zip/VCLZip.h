#pragma once
// The archive writer component: configure it, call WriteArchive once.
//
// WriteArchive gathers FilesList into the files to pack, then writes a new archive under a
// temporary name beside ZipName and renames it into place when complete; when a file already
// stands under ZipName it updates that archive instead (old entries kept unless a newer file
// replaces them), building the new one as a "KPZ" temporary file. On any failure nothing new is
// left under either name and an existing archive stays as it was.
//
// Files are compressed on a bounded pool of threads; entries are written in gathering order and
// the archive's bytes do not depend on the number of threads. Not re-entrant; one write at a
// time per object.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zip/ByteIo.h"

namespace vellumark::zip {

class TVCLZip {
public:
    // The archive file; WriteArchive does nothing when it is empty or only blanks.
    std::filesystem::path ZipName;
    // What to pack: single files, folder lines ending in "/", and wildcard lines such as
    // "/book/*.*". Emptied by WriteArchive whether it succeeds or not.
    std::vector<std::string> FilesList;
    bool Recurse = false;
    // 0 stores every file; 1 to 9 deflate at that level.
    int PackLevel = 6;
    // Name masks of files stored without compression, and of files left out.
    std::vector<std::string> NoCompressList;
    std::vector<std::string> ExcludeList;
    // Folder for the temporary archive of an update; empty or missing: the system's.
    std::filesystem::path TempPath;

    // Threads that compress; 0 means one per core.
    unsigned Jobs = 0;
    // About how many bytes of file data may be read or compressed ahead of the archive.
    std::size_t BytesInFlight = 64 * 1024 * 1024;
    // Called on the calling thread after each piece of file data is written.
    std::function<void(std::uint64_t done, std::uint64_t total)> Progress;
    // Every entry's time instead of its file's last-write time, when set.
    std::optional<std::time_t> EntryTime;
    // Lets tests put their own device (one that fills up, say) between the writer and the file.
    std::function<std::unique_ptr<ByteDevice>(std::unique_ptr<ByteDevice>)> WrapDevice;

    // Entry names are made relative to this folder; "/" is appended when it lacks one.
    void SetRootDir(const std::string& folder);
    const std::string& RootDir() const { return rootDir_; }
    // True also sets StorePaths and Recurse.
    void SetRelativePaths(bool value);
    bool RelativePaths() const { return relativePaths_; }
    // False also clears RelativePaths: entries are then named by their file name alone.
    void SetStorePaths(bool value);
    bool StorePaths() const { return storePaths_; }

    // Writes the archive and returns the number of files packed. Throws vellumark::Error:
    // NoRoom "Not enough room to write archive", BadArchive "Incomplete Zip File" (and other
    // damage of an archive being updated), TooLarge at 4 GiB or 65,535 entries, Io otherwise.
    int WriteArchive();

private:
    std::string rootDir_;
    bool relativePaths_ = false;
    bool storePaths_ = false;
};

}  // namespace vellumark::zip
