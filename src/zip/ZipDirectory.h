#pragma once
// Reading the directory of an existing archive, for updating it, and copying its entries into a
// new archive unchanged. Safe on any bytes: every length, offset and count is checked against
// the source before use, so damaged or hostile input fails with vellumark::Error
// (ErrorCode::BadArchive) and never reads outside the source.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "common/ByteSource.h"
#include "zip/ByteIo.h"
#include "zip/ZipRecords.h"

namespace vellumark::zip {

using vellumark::ByteSource;

struct OldEntry {
    TZipHeaderInfo info;            // from the central directory record
    std::uint64_t extraOffset = 0;  // where the local extra field starts; the data follows it
    std::uint16_t localExtraLength = 0;
};

struct OldArchive {
    TEndCentral end;
    std::vector<OldEntry> entries;  // in the order of the central directory
};

// Reads the end record and the central directory, and checks every entry's local header.
// An end record missing from the last 65,557 bytes, or one with a disk number above 999, a
// directory said to start on a later disk, or an offset with the top bit set, fails with
// "Incomplete Zip File"; other damage with "Damaged Zip File (...)".
OldArchive ReadZipDirectory(const ByteSource& source, const std::filesystem::path& path = {});

// Writes `entry` at the sink's position: a local header made from its central record, then its
// local extra field and data copied byte for byte. Returns the record as written (new offset).
// A source cut short fails with "Incomplete Zip File" naming `path`.
TZipHeaderInfo CopyOldEntry(const ByteSource& source, const OldEntry& entry, ByteSink& sink,
                            const std::filesystem::path& path = {});

}  // namespace vellumark::zip
