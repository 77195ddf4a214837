#pragma once
// Turning a list of file lines (single files and wildcard lines such as "/book/*.*") into the
// exact list of files to pack, and the folder walker behind it.
//
// Paths are UTF-8 (or raw byte) strings with "/" between folders. Folder listings are sorted by
// name, ASCII letter case folded and then byte order, so that two walks over one folder yield the
// same order: depth first, a folder's contents standing where the folder stands in its parent.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vellumark::zip {

// The order of a folder listing: names with ASCII letter case folded, then bytes.
bool ListingLess(const std::string& a, const std::string& b);
// The order the walk gives paths relative to one folder ("OEBPS/1.jpg"): component by component
// in listing order.
bool WalkLess(const std::string& a, const std::string& b);

// Characters that make a line's last component a mask.
inline constexpr const char* kWildcardChars = "*?<>|";

// True when `name` matches `mask` ("*" any run, "?" one character), both lowered first.
bool MatchesMask(const std::string& name, const std::string& mask);
// True when any mask matches: a mask holding "/" is matched against the full path, any other
// against the last path component.
bool MatchesMaskList(const std::string& path, const std::vector<std::string>& masks);

// Walks a folder depth first. Folders are returned with a trailing "/" (only when recursing);
// files that match the mask with their size. Symbolic links to files count as files; links to
// folders, and anything that is neither file nor folder (pipes, devices), are passed over.
class TDirSearch {
public:
    // The deepest level below the starting folder that is walked; deeper trees are refused.
    static constexpr int kMaxDepth = 20;

    TDirSearch(std::string startFolder, bool recurse, std::string mask);

    struct Found {
        std::string path;  // empty when the walk is over
        std::uint64_t size = 0;
        dev_t device = 0;
        ino_t inode = 0;
    };
    // The next path found. Throws vellumark::Error (TooLarge) for a tree deeper than kMaxDepth.
    Found NextPath();

private:
    struct Entry {
        std::string name;
        bool folder = false;
        std::uint64_t size = 0;
        dev_t device = 0;
        ino_t inode = 0;
    };
    struct TSearchData {
        std::string path;  // ends in "/"
        std::vector<Entry> entries;
        std::size_t next = 0;
        bool Exhausted() const { return next >= entries.size(); }
    };
    void Push(const std::string& folder);

    bool recurse_;
    std::string mask_;
    std::vector<TSearchData> stack_;
};

struct GatherSettings {
    std::string rootDir;  // ends in "/"
    bool recurse = true;
    std::vector<std::string> excludeList;
    bool addDirEntriesOnRecurse = false;
    // The archive being written: a walked file that is this file is never gathered.
    std::filesystem::path zipName;
};

// Rewrites `filesList` in place into the files to pack, in packing order: single-file lines keep
// their places at the front, then each wildcard line's files in walk order. Adds the sizes of the
// files gathered to `totalBytes`. A wildcard line whose folder does not exist yields nothing.
void GatherFiles(std::vector<std::string>& filesList, const GatherSettings& settings,
                 std::uint64_t& totalBytes);

}  // namespace vellumark::zip
