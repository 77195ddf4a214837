#include "zip/DirSearch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/Error.h"
#include "zip/ZipRecords.h"

namespace vellumark::zip {
namespace {

bool HasWildcard(const std::string& text) {
    return text.find_first_of(kWildcardChars) != std::string::npos;
}

std::string LastComponent(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool MatchFolded(const char* name, const char* mask) {
    // Iterative "*" matching with one backtrack point: linear in practice, never exponential.
    const char* starMask = nullptr;
    const char* starName = nullptr;
    while (*name) {
        if (*mask == '*') {
            starMask = ++mask;
            starName = name;
        } else if (*mask == '?' || *mask == *name) {
            ++mask;
            ++name;
        } else if (starMask) {
            mask = starMask;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*mask == '*')
        ++mask;
    return *mask == '\0';
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

bool ListingLess(const std::string& a, const std::string& b) {
    const std::string fa = FoldAscii(a), fb = FoldAscii(b);
    return fa != fb ? fa < fb : a < b;
}

bool WalkLess(const std::string& a, const std::string& b) {
    std::size_t at = 0;
    std::size_t bt = 0;
    for (;;) {
        const std::size_t aEnd = std::min(a.find('/', at), a.size());
        const std::size_t bEnd = std::min(b.find('/', bt), b.size());
        const std::string ac = a.substr(at, aEnd - at), bc = b.substr(bt, bEnd - bt);
        if (ac != bc)
            return ListingLess(ac, bc);
        if (aEnd == a.size() || bEnd == b.size())
            return aEnd == a.size() && bEnd != b.size();
        at = aEnd + 1;
        bt = bEnd + 1;
    }
}

bool MatchesMask(const std::string& name, const std::string& mask) {
    return MatchFolded(FoldAscii(name).c_str(), FoldAscii(mask).c_str());
}

bool MatchesMaskList(const std::string& path, const std::vector<std::string>& masks) {
    for (const auto& mask : masks) {
        const bool full = mask.find('/') != std::string::npos;
        if (MatchesMask(full ? path : LastComponent(path), mask))
            return true;
    }
    return false;
}

TDirSearch::TDirSearch(std::string startFolder, bool recurse, std::string mask)
    : recurse_(recurse), mask_(std::move(mask)) {
    if (!startFolder.empty() && startFolder.back() != '/')
        startFolder += '/';
    Push(startFolder);
}

void TDirSearch::Push(const std::string& folder) {
    TSearchData level;
    level.path = folder;
    // A listing that cannot be opened counts as empty.
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (dir) {
        const int dfd = ::dirfd(dir.get());
        while (const dirent* d = ::readdir(dir.get())) {
            if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
                continue;
            struct stat st {};
            if (::fstatat(dfd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            Entry e;
            e.name = d->d_name;
            if (S_ISLNK(st.st_mode)) {
                if (::fstatat(dfd, d->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
                    continue;
            }
            if (S_ISDIR(st.st_mode)) {
                e.folder = true;
            } else if (!S_ISREG(st.st_mode)) {
                continue;
            }
            e.size = static_cast<std::uint64_t>(st.st_size);
            e.device = st.st_dev;
            e.inode = st.st_ino;
            level.entries.push_back(std::move(e));
        }
    }
    std::sort(level.entries.begin(), level.entries.end(),
              [](const Entry& a, const Entry& b) { return ListingLess(a.name, b.name); });
    stack_.push_back(std::move(level));
}

TDirSearch::Found TDirSearch::NextPath() {
    while (!stack_.empty()) {
        TSearchData& level = stack_.back();
        if (level.Exhausted()) {
            stack_.pop_back();
            continue;
        }
        const Entry& e = level.entries[level.next++];
        if (e.folder) {
            if (!recurse_)
                continue;
            const std::string path = level.path + e.name + "/";
            if (static_cast<int>(stack_.size()) > kMaxDepth) {
                throw Error(ErrorCode::TooLarge,
                            "Folder tree more than " + std::to_string(kMaxDepth) + " levels deep",
                            path);
            }
            Push(path);  // invalidates `level` and `e`
            return {path, 0, 0, 0};
        }
        // A name without extension gets a "." for the match, so that "*.*" takes it.
        const std::string matchName = e.name.find('.') == std::string::npos ? e.name + "." : e.name;
        if (mask_ == "*" || MatchesMask(matchName, mask_)) {
            return {level.path + e.name, e.size, e.device, e.inode};
        }
    }
    return {};
}

void GatherFiles(std::vector<std::string>& filesList, const GatherSettings& settings,
                 std::uint64_t& totalBytes) {
    // Pass 1: folder lines stay, single files are checked, wildcard lines wait for pass 2.
    std::vector<std::string> kept;
    std::vector<std::string> wildcardLines;
    for (std::string& line : filesList) {
        if (line.empty())
            continue;
        if (line.back() == '/') {
            kept.push_back(std::move(line));
            continue;
        }
        if (HasWildcard(LastComponent(line))) {
            wildcardLines.push_back(std::move(line));
            continue;
        }
        if (line.find('/') == std::string::npos)
            line = settings.rootDir + line;
        if (MatchesMaskList(line, settings.excludeList))
            continue;
        struct stat st {};
        if (::stat(line.c_str(), &st) != 0)
            continue;
        if (S_ISREG(st.st_mode))
            totalBytes += static_cast<std::uint64_t>(st.st_size);
        kept.push_back(std::move(line));
    }

    // The archive itself is recognised by its path (letter case ignored) and, when it already
    // exists, by its identity, so that another spelling of its path is caught too.
    const std::string zipFolded = FoldAscii(settings.zipName.lexically_normal().string());
    struct stat zipStat {};
    const bool zipExists =
        !settings.zipName.empty() && ::stat(settings.zipName.c_str(), &zipStat) == 0;

    // Pass 2: each wildcard line is walked in turn.
    for (std::string& line : wildcardLines) {
        bool recurse = settings.recurse;
        if (line.front() == '|' || line.front() == '>') {
            recurse = line.front() == '>';
            line.erase(0, 1);
        }
        const auto slash = line.rfind('/');
        const std::string folder =
            slash == std::string::npos ? settings.rootDir : line.substr(0, slash + 1);
        std::string mask = slash == std::string::npos ? line : line.substr(slash + 1);
        if (mask == "*.*")
            mask = "*";
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            continue;

        TDirSearch search(folder, recurse, mask);
        for (auto found = search.NextPath(); !found.path.empty(); found = search.NextPath()) {
            if (found.path.back() == '/') {
                if (recurse && settings.addDirEntriesOnRecurse)
                    kept.push_back(found.path);
                continue;
            }
            if (MatchesMaskList(found.path, settings.excludeList))
                continue;
            if (zipExists && found.device == zipStat.st_dev && found.inode == zipStat.st_ino) {
                continue;
            }
            if (FoldAscii(std::filesystem::path(found.path).lexically_normal().string()) ==
                zipFolded) {
                continue;
            }
            totalBytes += found.size;
            kept.push_back(std::move(found.path));
        }
    }
    filesList = std::move(kept);
}

}  // namespace vellumark::zip
