#pragma once
// Helpers for the archive tests: a private temporary folder, file makers, an independent reader
// (Python's zipfile, through tests/zip/zipcheck.py), `unzip -t` and bsdtar, and a small record
// parser of our own that checks the byte layout (headers back to back, directory, end record last).

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zip/ByteIo.h"
#include "zip/ZipFolder.h"

namespace ziptest {

namespace fs = std::filesystem;

class TempDir {
public:
    // In the system's temporary folder, or below `base` when that folder exists.
    explicit TempDir(const fs::path& base = {});
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

void WriteFile(const fs::path& path, const std::string& bytes);
std::string ReadFile(const fs::path& path);
std::string RandomBytes(std::size_t size, unsigned seed);
// Text that deflate shrinks well.
std::string TextBytes(std::size_t size);
void SetMtime(const fs::path& path, std::time_t when);
std::time_t LocalTime(int year, int month, int day, int hour = 12, int minute = 0, int second = 0);
// Names of everything directly in a folder, sorted.
std::vector<std::string> ListFolder(const fs::path& folder);

// Packs `folder` as a book is packed; returns "" on success, else the error's one line (its
// text, with the file it names when the text does not).
std::string Pack(const fs::path& archive, const fs::path& folder,
                 const vellumark::zip::ZipFolderOptions& options = {});

// A device wrapper that lets the first `room` bytes of the file through and then reports a full
// disk.
std::function<
    std::unique_ptr<vellumark::zip::ByteDevice>(std::unique_ptr<vellumark::zip::ByteDevice>)>
FillingAfter(std::uint64_t room);

// Runs a shell command; returns its exit status and, when asked, its standard output.
int Run(const std::string& command, std::string* output = nullptr);
std::string Quote(const fs::path& path);

struct PyEntry {
    std::string name;
    int method = -1;
    int flags = 0;
    std::uint64_t size = 0;
    std::uint64_t compressedSize = 0;
    std::string crc;
    int internal = -1;
    std::uint64_t external = 0;
    std::string dateTime;
    int extraLength = 0;
    int createSystem = -1;
    std::string content;  // "same"/"differs"/"missing", or hex when no folder was given
};

struct PyReport {
    bool readable = false;
    std::string testzip;
    std::string comment;  // hex
    std::vector<PyEntry> entries;
    std::vector<std::string> Names() const;
    const PyEntry* Find(const std::string& name) const;
};

PyReport ReadWithPython(const fs::path& archive, const fs::path& folder = {});
// True when both unzip and bsdtar read the archive and every entry's data without complaint.
bool OtherReadersAccept(const fs::path& archive);

// The archive's records as found walking its bytes; `ok` is false with `problem` set when the
// layout is not headers back to back, then the directory, then the end record.
struct RawEntry {
    std::uint64_t localOffset = 0;
    std::string name;
    std::uint16_t flags = 0, method = 0, localExtra = 0, centralExtra = 0;
    std::uint32_t dosDateTime = 0, crc = 0, compressedSize = 0, size = 0, external = 0;
    std::uint16_t internal = 0, versionMadeBy = 0;
};
struct RawArchive {
    bool ok = false;
    std::string problem;
    std::vector<RawEntry> entries;
};
RawArchive ParseArchive(const std::string& bytes);

}  // namespace ziptest
