#include "zip/ZipRecords.h"

#include <algorithm>

#include "common/Error.h"
#include "common/Utf8.h"

namespace vellumark::zip {
namespace {

void CheckLength(std::size_t length, const char* what) {
    if (length > 0xFFFF) {
        throw Error(ErrorCode::TooLarge,
                    std::string("Entry ") + what + " longer than 65,535 bytes");
    }
}

}  // namespace

void TZipHeaderInfo::SetStoredName(const std::string& name) {
    const auto slash = name.rfind('/');
    if (slash == std::string::npos) {
        folderPart.clear();
        fileName = name;
    } else {
        folderPart = name.substr(0, slash + 1);
        fileName = name.substr(slash + 1);
    }
}

std::vector<std::uint8_t> LocalHeaderBytes(const TZipHeaderInfo& info) {
    const std::string name = info.StoredName();
    CheckLength(name.size(), "name");
    std::vector<std::uint8_t> b(kLocalHeaderSize + name.size());
    PutLe32(&b[0], kLocalHeaderSignature);
    PutLe16(&b[4], info.versionNeeded);
    PutLe16(&b[6], info.flags);
    PutLe16(&b[8], info.method);
    PutLe32(&b[10], info.dosDateTime);
    PutLe32(&b[14], info.crc);
    PutLe32(&b[18], info.compressedSize);
    PutLe32(&b[22], info.uncompressedSize);
    PutLe16(&b[26], static_cast<std::uint16_t>(name.size()));
    PutLe16(&b[28], info.localExtraLength);
    std::copy(name.begin(), name.end(), b.begin() + kLocalHeaderSize);
    return b;
}

std::vector<std::uint8_t> CentralHeaderBytes(const TZipHeaderInfo& info) {
    const std::string name = info.StoredName();
    CheckLength(name.size(), "name");
    CheckLength(info.centralExtra.size(), "extra field");
    CheckLength(info.comment.size(), "comment");
    std::vector<std::uint8_t> b(kCentralHeaderSize + name.size());
    PutLe32(&b[0], kCentralHeaderSignature);
    PutLe16(&b[4], info.versionMadeBy);
    PutLe16(&b[6], info.versionNeeded);
    PutLe16(&b[8], info.flags);
    PutLe16(&b[10], info.method);
    PutLe32(&b[12], info.dosDateTime);
    PutLe32(&b[16], info.crc);
    PutLe32(&b[20], info.compressedSize);
    PutLe32(&b[24], info.uncompressedSize);
    PutLe16(&b[28], static_cast<std::uint16_t>(name.size()));
    PutLe16(&b[30], static_cast<std::uint16_t>(info.centralExtra.size()));
    PutLe16(&b[32], static_cast<std::uint16_t>(info.comment.size()));
    PutLe16(&b[34], info.diskNumber);
    PutLe16(&b[36], info.internalAttributes);
    PutLe32(&b[38], info.externalAttributes);
    PutLe32(&b[42], info.localHeaderOffset);
    std::copy(name.begin(), name.end(), b.begin() + kCentralHeaderSize);
    b.insert(b.end(), info.centralExtra.begin(), info.centralExtra.end());
    b.insert(b.end(), info.comment.begin(), info.comment.end());
    return b;
}

std::vector<std::uint8_t> EndCentralBytes(const TEndCentral& end) {
    CheckLength(end.comment.size(), "archive comment");
    std::vector<std::uint8_t> b(kEndCentralSize);
    PutLe32(&b[0], end.signature);
    PutLe16(&b[4], end.thisDisk);
    PutLe16(&b[6], end.centralStartDisk);
    PutLe16(&b[8], end.entriesThisDisk);
    PutLe16(&b[10], end.totalEntries);
    PutLe32(&b[12], end.centralSize);
    PutLe32(&b[16], end.centralOffset);
    PutLe16(&b[20], static_cast<std::uint16_t>(end.comment.size()));
    b.insert(b.end(), end.comment.begin(), end.comment.end());
    return b;
}

std::uint32_t DosDateTime(std::time_t moment) {
    std::tm local{};
    if (::localtime_r(&moment, &local) == nullptr)
        return kDosTimeInvalid;
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2107)
        return kDosTimeInvalid;
    const std::uint32_t date = (static_cast<std::uint32_t>(year - 1980) << 9) |
                               (static_cast<std::uint32_t>(local.tm_mon + 1) << 5) |
                               static_cast<std::uint32_t>(local.tm_mday);
    // A leap second (tm_sec 60) would overflow the 5-bit field; it counts as 58.
    const int seconds = std::min(local.tm_sec, 59);
    const std::uint32_t time = (static_cast<std::uint32_t>(local.tm_hour) << 11) |
                               (static_cast<std::uint32_t>(local.tm_min) << 5) |
                               static_cast<std::uint32_t>(seconds / 2);
    return (date << 16) | time;
}

std::uint16_t NameFlags(const std::string& name) {
    const bool nonAscii = std::any_of(name.begin(), name.end(),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    return nonAscii && IsValidUtf8(name) ? kFlagUtf8Name : 0;
}

std::string FoldAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace vellumark::zip
