#pragma once
// What a write puts into the archive, in order: the name each gathered file is stored under,
// and, for an update, which old entries are kept, which give way to a newer file of the same
// name, and which files are added after them.

#include <cstddef>
#include <string>
#include <vector>

#include "zip/ZipDirectory.h"

namespace vellumark::zip {

// How a file's path becomes its stored name (the writer's StorePaths, RelativePaths, RootDir).
struct NameRule {
    bool storePaths = false;
    bool relativePaths = false;
    std::string rootDir;  // ends in "/" when set
};

// The name `path` is stored under: its folder part kept when storing paths, less the root
// folder (ASCII letter case ignored) when paths are relative; never a leading "/", and no
// empty, "." or ".." components.
std::string StoredName(const std::string& path, const NameRule& rule);

// One step of the write, in archive order: an old entry to copy or a file to pack.
struct WriteStep {
    const OldEntry* old = nullptr;       // set: copy this entry
    std::size_t file = 0;                // index into the gathered files when old is null
    const OldEntry* replaces = nullptr;  // the old entry kept should the file not be packable
};

// A new archive: every file in gathering order.
std::vector<WriteStep> PlanCreate(std::size_t fileCount);

// An update: the old entries in their order, each kept, or replaced by the gathered file of the
// same stored name (ASCII letter case ignored) when that file was modified later than the
// entry's stamp; then the gathered files that no old entry names. A file that cannot be
// looked at keeps the old entry. The steps point into `old`, which must outlive them.
std::vector<WriteStep> PlanUpdate(const OldArchive& old, const std::vector<std::string>& files,
                                  const NameRule& rule);

}  // namespace vellumark::zip
