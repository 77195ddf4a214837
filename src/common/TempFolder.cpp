#include "common/TempFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "common/Error.h"

namespace vellumark {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kRandomLength = 6;  // mkdtemp's XXXXXX

UniqueFd OpenFolder(const fs::path& folder) {
    return UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
}

bool TryLock(const UniqueFd& fd) {
    return ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0;
}

}  // namespace

TempFolder TempFolder::Create(fs::path parent, std::string_view prefix,
                              const FailureText& failureText) {
    if (parent.empty())
        parent = SystemTempFolder();
    const auto fail = [&](int err) {
        const std::string reason = std::strerror(err);
        throw Error(ErrorCode::Io,
                    failureText ? failureText(reason)
                                : "Cannot create a folder in " + parent.string() + ": " + reason,
                    parent);
    };
    // A cleaner in another process may lock a fresh folder before its maker does, and remove it;
    // the maker then sees a folder it does not hold, or one with no name left, and tries again.
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string pattern = (parent / (std::string(prefix) + "XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr)
            fail(errno);
        UniqueFd lock = OpenFolder(pattern);
        if (!lock) {
            const int err = errno;
            if (err == ENOENT)
                continue;
            ::rmdir(pattern.c_str());
            fail(err);
        }
        struct stat st {};
        if (TryLock(lock) && ::fstat(lock.Get(), &st) == 0 && st.st_nlink > 0)
            return TempFolder(pattern, std::move(lock));
    }
    fail(EAGAIN);
    return TempFolder({}, UniqueFd());  // not reached
}

TempFolder::TempFolder(fs::path path, UniqueFd lock) noexcept
    : path_(std::move(path)), lock_(std::move(lock)) {}

TempFolder::TempFolder(TempFolder&& other) noexcept
    : path_(std::exchange(other.path_, {})), lock_(std::move(other.lock_)) {}

TempFolder& TempFolder::operator=(TempFolder&& other) noexcept {
    if (this != &other) {
        Remove();
        path_ = std::exchange(other.path_, {});
        lock_ = std::move(other.lock_);
    }
    return *this;
}

TempFolder::~TempFolder() {
    Remove();
}

void TempFolder::Remove() noexcept {
    if (!path_.empty()) {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    // Unlocked only once it is gone, so no cleaner ever sees it half removed and unheld.
    lock_.Reset();
    path_.clear();
}

fs::path SystemTempFolder() {
    std::error_code ec;
    fs::path folder = fs::temp_directory_path(ec);
    return ec || folder.empty() ? fs::path("/tmp") : folder;
}

int RemoveAbandonedFolders(const fs::path& parent, std::string_view prefix) noexcept {
    int removed = 0;
    try {
        std::error_code ec;
        for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.size() != prefix.size() + kRandomLength || !name.starts_with(prefix))
                continue;
            std::error_code typeError;
            if (!it->is_directory(typeError) || it->is_symlink(typeError))
                continue;
            const UniqueFd folder = OpenFolder(it->path());
            if (!folder || !TryLock(folder))
                continue;  // a live owner holds it
            std::error_code removeError;
            fs::remove_all(it->path(), removeError);
            if (!removeError)
                ++removed;
        }
    } catch (...) {
        // Clearing up is a courtesy; it must never stop the work that asked for it.
    }
    return removed;
}

}  // namespace vellumark
