#include "zip/ZipDirectory.h"

#include <algorithm>

#include "common/Error.h"

namespace vellumark::zip {
namespace {

[[noreturn]] void Incomplete(const std::filesystem::path& path) {
    throw Error(ErrorCode::BadArchive, "Incomplete Zip File", path);
}

[[noreturn]] void Damaged(const std::string& what, const std::filesystem::path& path) {
    throw Error(ErrorCode::BadArchive, "Damaged Zip File (" + what + ")", path);
}

// The archive's bytes at `offset`, all of them: a shorter read means the file was cut short.
void ReadArchive(const ByteSource& source, std::uint64_t offset, void* data, std::size_t size,
                 const std::filesystem::path& path) {
    if (source.ReadAt(offset, data, size) != size)
        Incomplete(path);
}

// Finds the end record: the last signature in the tail whose record and comment fit the file.
TEndCentral ReadEndCentral(const ByteSource& source, const std::filesystem::path& path,
                           std::uint64_t& endPosition) {
    const std::uint64_t size = source.Size();
    if (size < kEndCentralSize)
        Incomplete(path);
    const std::size_t span =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndCentralSearchSpan));
    std::vector<std::uint8_t> tail(span);
    const std::uint64_t tailStart = size - span;
    ReadArchive(source, tailStart, tail.data(), span, path);
    for (std::size_t i = span - kEndCentralSize + 1; i-- > 0;) {
        const std::uint8_t* p = tail.data() + i;
        if (GetLe32(p) != kEndCentralSignature)
            continue;
        const std::uint16_t commentLength = GetLe16(p + 20);
        if (i + kEndCentralSize + commentLength > span)
            continue;
        TEndCentral end;
        end.thisDisk = GetLe16(p + 4);
        end.centralStartDisk = GetLe16(p + 6);
        end.entriesThisDisk = GetLe16(p + 8);
        end.totalEntries = GetLe16(p + 10);
        end.centralSize = GetLe32(p + 12);
        end.centralOffset = GetLe32(p + 16);
        end.comment.assign(p + kEndCentralSize, p + kEndCentralSize + commentLength);
        endPosition = tailStart + i;
        return end;
    }
    Incomplete(path);
}

}  // namespace

OldArchive ReadZipDirectory(const ByteSource& source, const std::filesystem::path& path) {
    OldArchive archive;
    std::uint64_t endPosition = 0;
    archive.end = ReadEndCentral(source, path, endPosition);
    const TEndCentral& end = archive.end;
    if (end.thisDisk > 999 || end.centralStartDisk > end.thisDisk ||
        (end.centralOffset & 0x80000000u) != 0) {
        Incomplete(path);
    }
    if (end.thisDisk != 0 || end.centralStartDisk != 0)
        Damaged("archive split into volumes", path);
    if (end.entriesThisDisk != end.totalEntries)
        Damaged("entry counts disagree", path);
    const std::uint64_t centralEnd =
        static_cast<std::uint64_t>(end.centralOffset) + end.centralSize;
    if (centralEnd > endPosition)
        Damaged("central directory outside the file", path);
    if (static_cast<std::uint64_t>(end.totalEntries) * kCentralHeaderSize > end.centralSize) {
        Damaged("central directory too small for its entries", path);
    }

    std::vector<std::uint8_t> central(end.centralSize);
    ReadArchive(source, end.centralOffset, central.data(), central.size(), path);
    archive.entries.reserve(end.totalEntries);
    std::size_t at = 0;
    for (unsigned i = 0; i < end.totalEntries; ++i) {
        if (central.size() - at < kCentralHeaderSize)
            Damaged("central directory cut short", path);
        const std::uint8_t* p = central.data() + at;
        if (GetLe32(p) != kCentralHeaderSignature)
            Damaged("bad central directory record", path);
        const std::size_t nameLength = GetLe16(p + 28);
        const std::size_t extraLength = GetLe16(p + 30);
        const std::size_t commentLength = GetLe16(p + 32);
        const std::size_t recordSize =
            kCentralHeaderSize + nameLength + extraLength + commentLength;
        if (central.size() - at < recordSize)
            Damaged("central directory cut short", path);

        OldEntry entry;
        TZipHeaderInfo& info = entry.info;
        info.versionMadeBy = GetLe16(p + 4);
        info.versionNeeded = GetLe16(p + 6);
        info.flags = GetLe16(p + 8);
        info.method = GetLe16(p + 10);
        info.dosDateTime = GetLe32(p + 12);
        info.crc = GetLe32(p + 16);
        info.compressedSize = GetLe32(p + 20);
        info.uncompressedSize = GetLe32(p + 24);
        info.diskNumber = GetLe16(p + 34);
        info.internalAttributes = GetLe16(p + 36);
        info.externalAttributes = GetLe32(p + 38);
        info.localHeaderOffset = GetLe32(p + 42);
        info.centralRecordPosition = static_cast<std::uint32_t>(end.centralOffset + at);
        const auto* name = p + kCentralHeaderSize;
        info.SetStoredName(std::string(name, name + nameLength));
        info.centralExtra.assign(name + nameLength, name + nameLength + extraLength);
        info.comment.assign(name + nameLength + extraLength,
                            name + nameLength + extraLength + commentLength);
        at += recordSize;

        if (info.diskNumber != 0)
            Damaged("entry on another volume", path);
        // The entry's local header and data must lie before the central directory.
        const std::uint64_t local = info.localHeaderOffset;
        if (local + kLocalHeaderSize > end.centralOffset)
            Damaged("entry outside the file", path);
        std::uint8_t header[kLocalHeaderSize];
        ReadArchive(source, local, header, sizeof header, path);
        if (GetLe32(header) != kLocalHeaderSignature)
            Damaged("bad local header", path);
        entry.localExtraLength = GetLe16(header + 28);
        entry.extraOffset = local + kLocalHeaderSize + GetLe16(header + 26);
        const std::uint64_t dataEnd =
            entry.extraOffset + entry.localExtraLength + info.compressedSize;
        if (dataEnd > end.centralOffset)
            Damaged("entry data outside the file", path);
        archive.entries.push_back(std::move(entry));
    }
    return archive;
}

TZipHeaderInfo CopyOldEntry(const ByteSource& source, const OldEntry& entry, ByteSink& sink,
                            const std::filesystem::path& path) {
    TZipHeaderInfo info = entry.info;
    info.localHeaderOffset = static_cast<std::uint32_t>(sink.Position());
    info.localExtraLength = entry.localExtraLength;
    // The sizes and CRC now stand in the local header, so no data descriptor follows the data.
    info.flags &= static_cast<std::uint16_t>(~kFlagDataDescriptor);
    const auto header = LocalHeaderBytes(info);
    sink.Write(header.data(), header.size());
    std::uint64_t remaining =
        static_cast<std::uint64_t>(entry.localExtraLength) + info.compressedSize;
    std::uint64_t from = entry.extraOffset;
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(remaining, 256 * 1024)));
    while (remaining > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, buffer.size()));
        ReadArchive(source, from, buffer.data(), n, path);
        sink.Write(buffer.data(), n);
        from += n;
        remaining -= n;
    }
    return info;
}

}  // namespace vellumark::zip
