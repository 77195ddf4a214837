#include "zip/UpdatePlan.h"

#include <sys/stat.h>

#include <ctime>
#include <unordered_map>

#include "zip/ZipRecords.h"

namespace vellumark::zip {
namespace {

// Orders a stored DOS stamp against a file's: all ones (before 1980 or unknown) is the oldest.
std::int64_t StampOrder(std::uint32_t dos) {
    return dos == kDosTimeInvalid ? -1 : static_cast<std::int64_t>(dos);
}

std::int64_t FileStampOrder(const struct stat& st) {
    const std::uint32_t dos = DosDateTime(st.st_mtime);
    if (dos != kDosTimeInvalid)
        return dos;
    // Beyond 2107 a file is newer than any stamp; before 1980 older than all.
    std::tm local{};
    const bool late = ::localtime_r(&st.st_mtime, &local) != nullptr && local.tm_year + 1900 > 2107;
    return late ? std::int64_t{1} << 33 : -1;
}

}  // namespace

std::string StoredName(const std::string& path, const NameRule& rule) {
    const auto slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!rule.storePaths) {
        folder.clear();
    } else if (rule.relativePaths && !rule.rootDir.empty() &&
               FoldAscii(folder).starts_with(FoldAscii(rule.rootDir))) {
        folder.erase(0, rule.rootDir.size());
    }
    std::string clean;
    std::size_t start = 0;
    while (start < folder.size()) {
        const auto end = folder.find('/', start);
        const std::string part = folder.substr(start, end - start);
        if (!part.empty() && part != "." && part != "..")
            clean += part + "/";
        start = end + 1;
    }
    return clean + file;
}

std::vector<WriteStep> PlanCreate(std::size_t fileCount) {
    std::vector<WriteStep> steps;
    steps.reserve(fileCount);
    for (std::size_t i = 0; i < fileCount; ++i)
        steps.push_back({nullptr, i, nullptr});
    return steps;
}

std::vector<WriteStep> PlanUpdate(const OldArchive& old, const std::vector<std::string>& files,
                                  const NameRule& rule) {
    std::unordered_map<std::string, std::size_t> byName;
    for (std::size_t i = 0; i < files.size(); ++i)
        byName.emplace(FoldAscii(StoredName(files[i], rule)), i);
    std::vector<bool> placed(files.size(), false);
    std::vector<WriteStep> steps;
    for (const OldEntry& entry : old.entries) {
        const auto match = byName.find(FoldAscii(entry.info.StoredName()));
        if (match == byName.end() || placed[match->second]) {
            steps.push_back({&entry, 0, nullptr});
            continue;
        }
        placed[match->second] = true;
        struct stat st {};
        if (::stat(files[match->second].c_str(), &st) != 0 ||
            StampOrder(entry.info.dosDateTime) >= FileStampOrder(st)) {
            steps.push_back({&entry, 0, nullptr});
        } else {
            steps.push_back({nullptr, match->second, &entry});
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!placed[i])
            steps.push_back({nullptr, i, nullptr});
    }
    return steps;
}

}  // namespace vellumark::zip
