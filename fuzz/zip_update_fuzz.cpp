// Feeds arbitrary bytes to the reader that an archive update starts with, then copies every
// entry it accepts into a new archive in memory, as an update does, and reads that back.
// Damaged input must fail with vellumark::Error; anything else (a crash, an out-of-bounds
// read, another exception) is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "common/ByteSource.h"
#include "common/Error.h"
#include "zip/ZipDirectory.h"
#include "zip/ZipRecords.h"

using namespace vellumark::zip;
using vellumark::MemorySource;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const MemorySource source(std::span<const std::uint8_t>(data, size));
        const OldArchive old = ReadZipDirectory(source);

        MemorySink sink;
        TEndCentral end;
        std::vector<TZipHeaderInfo> written;
        for (const OldEntry& entry : old.entries)
            written.push_back(CopyOldEntry(source, entry, sink));
        end.centralOffset = static_cast<std::uint32_t>(sink.Position());
        for (const auto& record : written) {
            const auto bytes = CentralHeaderBytes(record);
            sink.Write(bytes.data(), bytes.size());
        }
        end.centralSize = static_cast<std::uint32_t>(sink.Position() - end.centralOffset);
        end.entriesThisDisk = end.totalEntries = static_cast<std::uint16_t>(written.size());
        end.comment = old.end.comment;
        const auto endBytes = EndCentralBytes(end);
        sink.Write(endBytes.data(), endBytes.size());

        // What the copy wrote must read back with the same entries.
        const MemorySource copy(sink.Bytes());
        const OldArchive again = ReadZipDirectory(copy);
        if (again.entries.size() != old.entries.size())
            std::abort();
        for (std::size_t i = 0; i < again.entries.size(); ++i) {
            if (again.entries[i].info.StoredName() != old.entries[i].info.StoredName() ||
                again.entries[i].info.crc != old.entries[i].info.crc) {
                std::abort();
            }
        }
    } catch (const vellumark::Error&) {
        // A clear refusal is the expected outcome for damaged bytes.
    }
    return 0;
}
