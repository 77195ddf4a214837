#pragma once
// The records of a ZIP archive as this writer fills them, and their byte layouts: local file
// header, central directory header and end of central directory record. All integers are
// little-endian; no ZIP64 records, data descriptors or encryption headers are ever written.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace vellumark::zip {

inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;
inline constexpr std::uint32_t kEndCentralSignature = 0x06054B50;
inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndCentralSize = 22;
// An end record plus the longest comment it can carry: where a reader looks for it.
inline constexpr std::size_t kEndCentralSearchSpan = kEndCentralSize + 0xFFFF;

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kFlagUtf8Name = 0x0800;
inline constexpr std::uint32_t kDosTimeInvalid = 0xFFFFFFFF;

// DOS attribute bits kept in the external attributes.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrArchive = 0x20;

// One entry of an archive: a file being packed or an entry kept from an archive being updated.
struct TZipHeaderInfo {
    std::uint16_t versionMadeBy = 20;  // upper byte 0: MS-DOS attributes
    std::uint16_t versionNeeded = 20;
    std::uint16_t flags = 0;
    std::uint16_t method = kMethodDeflated;
    std::uint32_t dosDateTime = 0;  // time in the low half, date in the high half
    std::uint32_t crc = 0xFFFFFFFF;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t localExtraLength = 0;
    std::uint16_t diskNumber = 0;
    std::uint16_t internalAttributes = 1;  // 1 text, 0 binary, 2 not yet known
    std::uint32_t externalAttributes = kAttrArchive;
    std::uint32_t localHeaderOffset = 0;
    std::uint32_t centralRecordPosition = 0;  // where a read record stood in its archive
    // The stored name is folderPart + fileName, with "/" between folders and no leading "/".
    std::string folderPart;  // empty, or ending in "/"
    std::string fileName;
    std::vector<std::uint8_t> centralExtra;  // only entries kept from an old archive have these
    std::vector<std::uint8_t> comment;

    std::string StoredName() const { return folderPart + fileName; }
    // Sets folderPart and fileName from a relative name such as "OEBPS/1.jpg".
    void SetStoredName(const std::string& name);
};

// The end of central directory record.
struct TEndCentral {
    std::uint32_t signature = kEndCentralSignature;
    std::uint16_t thisDisk = 0;
    std::uint16_t centralStartDisk = 0;
    std::uint16_t entriesThisDisk = 0;
    std::uint16_t totalEntries = 0;
    std::uint32_t centralSize = 0;
    std::uint32_t centralOffset = 0;
    std::vector<std::uint8_t> comment;
};

// Byte images of the records. The name bytes follow the fixed part; a local header's extra field
// is not included (its length is localExtraLength), a central header's extra field and comment are.
std::vector<std::uint8_t> LocalHeaderBytes(const TZipHeaderInfo& info);
std::vector<std::uint8_t> CentralHeaderBytes(const TZipHeaderInfo& info);
std::vector<std::uint8_t> EndCentralBytes(const TEndCentral& end);

// DOS date and time of a moment, in local time, with two-second resolution (an odd second is
// dropped); kDosTimeInvalid outside 1980 to 2107 or when the conversion fails.
std::uint32_t DosDateTime(std::time_t moment);

// General-purpose flags for a name: bit 11 when the name is valid UTF-8 with a non-ASCII
// character. Names that are not valid UTF-8 are written as they are, without the bit.
std::uint16_t NameFlags(const std::string& name);

// ASCII letters folded to small letters; other bytes unchanged.
std::string FoldAscii(std::string text);

// Little-endian helpers shared by the writer and the reader.
inline void PutLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t GetLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace vellumark::zip
