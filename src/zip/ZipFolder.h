#pragma once
// Packs a folder into a ZIP archive the way a book is packed: the folder's "mimetype" first and
// stored, then every file below the folder, depth first in sorted listing order.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>

namespace vellumark::zip {

struct ZipFolderOptions {
    // Threads that compress entries; 0 means one per core. The archive's bytes do not depend on it.
    unsigned jobs = 0;
    // About how many bytes of file data may be read and compressed ahead of the archive;
    // 0 means the writer's default (64 MiB). Memory stays near this, whatever the folder holds.
    std::size_t bytesInFlight = 0;
    // Called from the calling thread as entries are written: bytes of file data done and in all.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // Every entry's time instead of its file's last-write time, when set.
    std::optional<std::time_t> entryTime;
};

// Writes every file below `folder` into the archive at `archivePath`. When a file already stands
// under that name it is updated (old entries kept unless a newer file replaces them). A new
// archive appears under its name only once complete, and on any failure an existing archive is
// left as it was. Throws vellumark::Error as TVCLZip::WriteArchive does, and Usage for an empty
// folder path.
void ZipFolder(const std::filesystem::path& archivePath, const std::filesystem::path& folder,
               const ZipFolderOptions& options = {});

}  // namespace vellumark::zip
