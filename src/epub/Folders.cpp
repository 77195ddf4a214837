#include "epub/Folders.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "common/Error.h"
#include "epub/DataFolder.h"

namespace vellumark::epub {
namespace fs = std::filesystem;
namespace {

// An open descriptor of a folder, closed on every path out.
class FolderDescriptor {
public:
    explicit FolderDescriptor(const fs::path& folder)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~FolderDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderDescriptor(const FolderDescriptor&) = delete;
    FolderDescriptor& operator=(const FolderDescriptor&) = delete;

    bool Valid() const { return fd_ >= 0; }
    bool TryLock() const { return ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

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

// Takes the lock on `folder`; returns the descriptor holding it, or -1.
int LockFolder(const fs::path& folder) {
    FolderDescriptor descriptor(folder);
    if (!descriptor.Valid() || !descriptor.TryLock())
        return -1;
    return descriptor.Release();
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

WorkingFolder::WorkingFolder(fs::path path, bool isPrivate, int lockFd) noexcept
    : path_(std::move(path)), private_(isPrivate), lockFd_(lockFd) {}

WorkingFolder::WorkingFolder(WorkingFolder&& other) noexcept
    : path_(std::exchange(other.path_, {})),
      private_(other.private_),
      lockFd_(std::exchange(other.lockFd_, -1)) {}

WorkingFolder& WorkingFolder::operator=(WorkingFolder&& other) noexcept {
    if (this != &other) {
        Release();
        path_ = std::exchange(other.path_, {});
        private_ = other.private_;
        lockFd_ = std::exchange(other.lockFd_, -1);
    }
    return *this;
}

WorkingFolder::~WorkingFolder() {
    Release();
}

void WorkingFolder::Release() noexcept {
    if (!path_.empty()) {
        RemoveFolder(private_ ? path_ : ContentFolder(path_));
    }
    if (lockFd_ >= 0)
        ::close(lockFd_);  // closing the descriptor drops the flock
    path_.clear();
    lockFd_ = -1;
}

WorkingFolder WorkingFolder::CreatePrivate(const fs::path& installed) {
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec)
        temp = "/tmp";
    std::string pattern = (temp / "vellumark-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        const int err = errno;
        throw Error(
            ErrorCode::Io,
            "Cannot create a working folder in " + temp.string() + ": " + std::strerror(err), temp);
    }
    // Owned from here on, so a failed seeding removes it again.
    WorkingFolder folder(fs::path(buffer.data()), true, -1);
    SeedContainerFiles(folder.Path(), installed);
    return folder;
}

WorkingFolder WorkingFolder::AcquireForWindow(const fs::path& installed) {
    if (IsWritableFolder(installed)) {
        if (const int fd = LockFolder(installed); fd >= 0) {
            return WorkingFolder(installed, false, fd);
        }
        // Another window converts there.
        return CreatePrivate(installed);
    }
    const fs::path cache = CacheWorkingFolder();
    if (!cache.empty()) {
        std::error_code ec;
        fs::create_directories(cache, ec);
        if (const int fd = LockFolder(cache); fd >= 0) {
            WorkingFolder folder(cache, false, fd);
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
