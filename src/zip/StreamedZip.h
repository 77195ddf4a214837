#pragma once
// An archive written entry by entry from bytes already in memory, in the order the entries are
// given: nothing is staged on disk but the archive itself. Entries are cut into pieces that are
// compressed on a pool while the caller goes on; they are written in order, so the archive's
// bytes do not depend on the number of threads and equal those the folder packer (ZipFolder)
// writes for the same files with the same times and attributes.
//
// The archive is built in a temporary file beside its final name and appears under that name
// only at Commit, synced first; an archive destroyed without Commit, or whose writing failed,
// leaves nothing behind.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Scheduler.h"
#include "zip/ByteIo.h"

namespace vellumark::zip {

struct StreamedZipOptions {
    // Threads that compress, when no scheduler is given; 0 means one per core.
    unsigned jobs = 0;
    int level = 6;  // 0 stores every entry; 1 to 9 deflate at that level
    // Every entry's date and time (as local DOS time); a moment outside 1980 to 2107 is written
    // as the DOS "no time" value.
    std::time_t time = 0;
    // About how many bytes of entries may wait for compression or writing; Add blocks beyond.
    std::size_t bytesInFlight = 64 * 1024 * 1024;
    // Where pieces are compressed, shared with the run's other work; null: a scheduler of `jobs`
    // threads for this archive alone. Must outlive the archive.
    Scheduler* scheduler = nullptr;
    // Lets tests put their own device (one that fills up, say) between the writer and the file.
    std::function<std::unique_ptr<ByteDevice>(std::unique_ptr<ByteDevice>)> wrapDevice;
};

enum class EntryMethod {
    Stored,
    // Deflated, or stored when deflate cannot shrink an entry of up to 32 KiB.
    Deflated,
};

class StreamedZip {
public:
    // Creates the temporary file beside `target` ("name.tmp-xxxxxx"). Throws vellumark::Error
    // (Io).
    explicit StreamedZip(std::filesystem::path target, StreamedZipOptions options = {});
    // Without a Commit, removes the temporary file; pieces still being compressed are dropped.
    ~StreamedZip();
    StreamedZip(const StreamedZip&) = delete;
    StreamedZip& operator=(const StreamedZip&) = delete;

    // Adds an entry named `name` ("OEBPS/1.jpg": "/" between folders, UTF-8, with its flag when
    // not ASCII), attributes "archive", and "hidden" for a name starting with ".". Blocks while
    // more than bytesInFlight wait. Throws vellumark::Error: TooLarge at 4 GiB, 65,535 entries or
    // a name of 64 KiB; NoRoom when the disk is full; Io otherwise; Usage for an empty name. After
    // a throw the archive takes nothing more and cannot be committed.
    void Add(std::string name, std::vector<std::uint8_t> bytes,
             EntryMethod method = EntryMethod::Deflated);
    void Add(std::string name, std::string_view bytes, EntryMethod method = EntryMethod::Deflated);

    // Writes what is left, the central directory and end record, syncs the file and renames it
    // to the target: over a file standing there only when `replace`, otherwise such a file makes
    // it fail (Io) and is left as it is. Throws vellumark::Error as Add; after a failure nothing
    // is left but what stood under the target before.
    void Commit(bool replace = false);

    // The temporary file the archive is built in (empty once committed).
    std::filesystem::path TemporaryPath() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vellumark::zip
