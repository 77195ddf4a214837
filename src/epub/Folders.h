#pragma once
// Where a conversion stages its files. A working folder holds the container files a book needs
// besides its content ("mimetype" and "META-INF/container.xml") and, below it, the content folder
// "OEBPS" that a conversion fills; the whole working folder is packed into the book.

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "common/FileIo.h"
#include "common/TempFolder.h"

namespace vellumark::epub {

// Folder of the running program file (/proc/self/exe), without a trailing separator. Throws
// vellumark::Error (Io) when it cannot be found.
std::filesystem::path ProgramFolder();

// The container files the program ships: DataFolder() / "epubfiles". Throws vellumark::Error
// (Io) when the data folder cannot be found.
std::filesystem::path InstalledContainerFolder();

// workingFolder / "OEBPS".
std::filesystem::path ContentFolder(const std::filesystem::path& workingFolder);

// Deletes the folder and everything below it; symbolic links are removed, never followed.
// Returns true when nothing is left under that name (also when there was nothing). Never throws.
bool RemoveFolder(const std::filesystem::path& folder) noexcept;

// Copies "mimetype" and "META-INF" (nothing else: an installed folder in use by the window may
// hold a content folder) from `installed` into `workingFolder`, replacing what is there. Throws
// vellumark::Error (Io) when the installed files are missing or cannot be copied.
void SeedContainerFiles(const std::filesystem::path& workingFolder,
                        const std::filesystem::path& installed = InstalledContainerFolder());

// Prefixes of the folders runs make: private working folders in the temporary folder, and the
// staging folder beside a book, where it is written whole before it takes its name.
inline constexpr std::string_view kWorkingFolderPrefix = "vellumark-";
inline constexpr std::string_view kStagingFolderPrefix = ".vellumark-";

// Clears away the working folders in the temporary folder and the staging folders in each of
// `outputFolders` that runs killed outright left behind, and nothing else: a folder is removed
// only with proof that a run made it and has ended (see IsAbandonedTempFolder). A temporary
// archive ("NAME.epub.tmp-xxxxxx") carries no such proof and is never swept: a name and a ZIP
// header are what any user's file may have. Never throws.
void RemoveAbandonedRunFolders(const std::vector<std::filesystem::path>& outputFolders) noexcept;

// A working folder held for the life of the object. Move-only; not thread-safe to share while
// moving, but any number of objects may exist at once in one or several processes.
class WorkingFolder {
public:
    // A fresh folder under the system's temporary folder, seeded with the container files and
    // removed whole when the object dies. Used by the command line so that conversions can run
    // side by side. Throws vellumark::Error (Io).
    static WorkingFolder CreatePrivate(
        const std::filesystem::path& installed = InstalledContainerFolder());

    // The window's working folder: the installed folder itself when it is writable, otherwise
    // $XDG_CACHE_HOME/vellumark/epubfiles (default ~/.cache/vellumark/epubfiles) seeded from the
    // installed files. It is held with an exclusive flock on the folder itself (no lock file,
    // since everything in the folder is packed). When another window holds it, or it cannot be
    // used, a private folder is made instead. The content folder is removed when the object
    // dies; a shared folder itself is kept. Throws vellumark::Error (Io) only when not even a
    // private folder can be made.
    static WorkingFolder AcquireForWindow(
        const std::filesystem::path& installed = InstalledContainerFolder());

    WorkingFolder(WorkingFolder&& other) noexcept;
    WorkingFolder& operator=(WorkingFolder&& other) noexcept;
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    ~WorkingFolder();

    const std::filesystem::path& Path() const noexcept { return path_; }
    std::filesystem::path Content() const { return ContentFolder(path_); }
    // True for a folder made for this object alone (removed whole when it dies).
    bool IsPrivate() const noexcept { return private_.has_value(); }

private:
    WorkingFolder(std::filesystem::path path, UniqueFd lock) noexcept;
    WorkingFolder(TempFolder folder, std::filesystem::path path) noexcept;
    void Release() noexcept;

    std::filesystem::path path_;
    std::optional<TempFolder> private_;  // set for a private folder
    UniqueFd lock_;                      // a shared folder, opened and flocked
};

}  // namespace vellumark::epub
