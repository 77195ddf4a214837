#include "epub/Folders.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

#include "common/Error.h"
#include "epub/DataFolder.h"

namespace vellumark::epub {
namespace fs = std::filesystem;
namespace {

bool IsWritableFolder(const fs::path& folder) {
    std::error_code ec;
    return fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

fs::path CacheWorkingFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    fs::path base;
    // Relative or empty values are to be ignored.
    if (cache != nullptr && cache[0] == '/') {
        base = cache;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/')
            return {};
        base = fs::path(home) / ".cache";
    }
    return base / "vellumark" / "epubfiles";
}

// Takes the lock on `folder`; returns the descriptor holding it, or none.
UniqueFd LockFolder(const fs::path& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd && ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        fd.Reset();
    return fd;
}

}  // namespace

fs::path ProgramFolder() {
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec || program.empty()) {
        throw Error(ErrorCode::Io, "Cannot find the program's folder: " + ec.message(),
                    "/proc/self/exe");
    }
    return program.parent_path();
}

fs::path InstalledContainerFolder() {
    return DataFolder() / "epubfiles";
}

fs::path ContentFolder(const fs::path& workingFolder) {
    return workingFolder / "OEBPS";
}

bool RemoveFolder(const fs::path& folder) noexcept {
    if (folder.empty())
        return true;
    std::error_code ec;
    fs::remove_all(folder, ec);
    return fs::symlink_status(folder, ec).type() == fs::file_type::not_found;
}

void SeedContainerFiles(const fs::path& workingFolder, const fs::path& installed) {
    std::error_code ec;
    const fs::path mimetype = installed / "mimetype";
    const fs::path metaInf = installed / "META-INF";
    if (!fs::is_regular_file(mimetype, ec) || !fs::is_directory(metaInf, ec)) {
        throw Error(
            ErrorCode::Io,
            "The container files are missing (mimetype and META-INF): " + installed.string(),
            installed);
    }
    fs::copy_file(mimetype, workingFolder / "mimetype", fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        fs::copy(metaInf, workingFolder / "META-INF",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    }
    if (ec) {
        throw Error(
            ErrorCode::Io,
            "Cannot copy the container files into " + workingFolder.string() + ": " + ec.message(),
            workingFolder);
    }
}

void RemoveAbandonedRunFolders(const std::vector<fs::path>& outputFolders) noexcept {
    RemoveAbandonedFolders(SystemTempFolder(), kWorkingFolderPrefix);
    for (const fs::path& folder : outputFolders)
        RemoveAbandonedFolders(folder, kStagingFolderPrefix);
}

WorkingFolder::WorkingFolder(fs::path path, UniqueFd lock) noexcept
    : path_(std::move(path)), lock_(std::move(lock)) {}

WorkingFolder::WorkingFolder(TempFolder folder, fs::path path) noexcept
    : path_(std::move(path)), private_(std::move(folder)) {}

WorkingFolder::WorkingFolder(WorkingFolder&& other) noexcept
    : path_(std::exchange(other.path_, {})),
      private_(std::exchange(other.private_, std::nullopt)),
      lock_(std::move(other.lock_)) {}

WorkingFolder& WorkingFolder::operator=(WorkingFolder&& other) noexcept {
    if (this != &other) {
        Release();
        path_ = std::exchange(other.path_, {});
        private_ = std::exchange(other.private_, std::nullopt);
        lock_ = std::move(other.lock_);
    }
    return *this;
}

WorkingFolder::~WorkingFolder() {
    Release();
}

void WorkingFolder::Release() noexcept {
    // A private folder goes whole; a shared one keeps its container files for the next window.
    if (!private_ && !path_.empty())
        RemoveFolder(ContentFolder(path_));
    private_.reset();
    lock_.Reset();  // closing the descriptor drops the flock
    path_.clear();
}

WorkingFolder WorkingFolder::CreatePrivate(const fs::path& installed) {
    const fs::path temp = SystemTempFolder();
    const auto failure = [&](const std::string& reason) {
        return "Cannot create a working folder in " + temp.string() + ": " + reason;
    };
    TempFolder owner = TempFolder::Create(temp, kWorkingFolderPrefix, failure);
    // Everything in a working folder is packed, so it sits below the folder that holds the
    // ownership marker.
    const fs::path path = owner.Path() / "book";
    if (std::error_code ec; !fs::create_directory(path, ec))
        throw Error(ErrorCode::Io, failure(ec ? ec.message() : "the folder exists"), temp);
    WorkingFolder folder(std::move(owner), path);
    SeedContainerFiles(folder.Path(), installed);
    return folder;
}

WorkingFolder WorkingFolder::AcquireForWindow(const fs::path& installed) {
    if (IsWritableFolder(installed)) {
        if (UniqueFd lock = LockFolder(installed)) {
            return WorkingFolder(installed, std::move(lock));
        }
        // Another window converts there.
        return CreatePrivate(installed);
    }
    const fs::path cache = CacheWorkingFolder();
    if (!cache.empty()) {
        std::error_code ec;
        fs::create_directories(cache, ec);
        if (UniqueFd lock = LockFolder(cache)) {
            WorkingFolder folder(cache, std::move(lock));
            try {
                SeedContainerFiles(cache, installed);
                return folder;
            } catch (const Error&) {
                // The cache is unusable; a private folder may still work.
            }
        } else {
            return CreatePrivate(installed);
        }
    }
    return CreatePrivate(installed);
}

}  // namespace vellumark::epub
