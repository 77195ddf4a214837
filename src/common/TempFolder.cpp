#include "common/TempFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "common/Error.h"

namespace vellumark {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kRandomLength = 6;  // mkdtemp's XXXXXX
constexpr std::string_view kMarkerMagic = "vellumark run folder; removed once its run has ended";
constexpr std::size_t kTokenBytes = 16;
constexpr off_t kMarkerLimit = 4096;

UniqueFd OpenFolder(const fs::path& folder) {
    return UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
}

bool TryLock(const UniqueFd& fd) {
    return ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0;
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return "unknown";
    return name;
}

std::string RandomToken() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::random_device random;
    std::string token;
    for (std::size_t i = 0; i < kTokenBytes; ++i) {
        const unsigned byte = random() & 0xFFu;
        token += kHex[byte >> 4];
        token += kHex[byte & 0xFu];
    }
    return token;
}

std::vector<std::string> MarkerLines(const std::string& token) {
    return {std::string(kMarkerMagic), "token " + token, "host " + HostName(),
            "pid " + std::to_string(::getpid())};
}

// Returns 0, or the errno of what failed.
int WriteMarker(const UniqueFd& folder) {
    const UniqueFd file(::openat(folder.Get(), std::string(kRunMarkerName).c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file)
        return errno;
    std::string text;
    for (const std::string& line : MarkerLines(RandomToken()))
        text += line + "\n";
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(file.Get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

bool IsHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The marker is a small regular file of ours, not a link, in the exact shape WriteMarker gives
// it, written on this host (a lock taken on another host's folder over a network file system
// proves nothing here).
bool HasValidMarker(const UniqueFd& folder) {
    const UniqueFd file(::openat(folder.Get(), std::string(kRunMarkerName).c_str(),
                                 O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!file || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid() || st.st_size > kMarkerLimit)
        return false;
    std::string text(static_cast<std::size_t>(kMarkerLimit), '\0');
    std::size_t size = 0;
    try {
        size = ReadFully(file.Get(), 0, text.data(), text.size(), {});
    } catch (const Error&) {
        return false;
    }
    text.resize(size);
    std::vector<std::string> lines;
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            return false;  // cut short
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    const std::string_view token = "token ", pid = "pid ";
    return lines.size() == 4 && lines[0] == kMarkerMagic && lines[1].starts_with(token) &&
           lines[1].size() == token.size() + 2 * kTokenBytes &&
           IsHex(std::string_view(lines[1]).substr(token.size())) &&
           lines[2] == "host " + HostName() && lines[3].starts_with(pid) &&
           IsDigits(std::string_view(lines[3]).substr(pid.size()));
}

// The folder opened and locked when it proves to be an abandoned TempFolder; else empty.
UniqueFd HoldAbandoned(const fs::path& folder) {
    struct stat named {};
    if (::lstat(folder.c_str(), &named) != 0 || !S_ISDIR(named.st_mode) ||
        named.st_uid != ::geteuid())
        return {};
    UniqueFd fd = OpenFolder(folder);
    struct stat opened {};
    // The same folder that was looked at, not one put in its place since.
    if (!fd || ::fstat(fd.Get(), &opened) != 0 || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino)
        return {};
    if (!HasValidMarker(fd) || !TryLock(fd))
        return {};
    return fd;
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
    // A folder is locked before its marker is written, so no cleaner can take it for abandoned
    // while it is made; a fresh folder another process happens to hold is given up for another.
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
        if (!TryLock(lock) || ::fstat(lock.Get(), &st) != 0 || st.st_nlink == 0)
            continue;
        TempFolder folder(pattern, std::move(lock));
        if (const int err = WriteMarker(folder.lock_); err != 0)
            fail(err);  // the folder removes itself
        return folder;
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

bool IsAbandonedTempFolder(const fs::path& folder) noexcept {
    try {
        return static_cast<bool>(HoldAbandoned(folder));
    } catch (...) {
        return false;
    }
}

int RemoveAbandonedFolders(const fs::path& parent, std::string_view prefix) noexcept {
    int removed = 0;
    try {
        std::error_code ec;
        for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.size() != prefix.size() + kRandomLength || !name.starts_with(prefix))
                continue;
            // Held while it goes, so that no other cleaner counts it too.
            const UniqueFd held = HoldAbandoned(it->path());
            if (!held)
                continue;
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
