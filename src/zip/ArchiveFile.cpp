#include "zip/ArchiveFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "common/Error.h"

namespace vellumark::zip {
namespace {

namespace fs = std::filesystem;

std::string RandomSuffix() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::string s(6, 'a');
    for (char& c : s)
        c = kChars[device() % (sizeof kChars - 1)];
    return s;
}

std::uint16_t LevelFlags(int level) {
    if (level == 1 || level == 2)
        return 4;
    if (level == 8 || level == 9)
        return 2;
    return 0;
}

}  // namespace

TempFile::~TempFile() {
    fd_.Reset();
    if (!path_.empty())
        ::unlink(path_.c_str());
}

TempFile CreateTempBeside(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string base = target.filename().string().substr(0, 200);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path path = folder / (base + ".tmp-" + RandomSuffix());
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            TempFile temp(path, UniqueFd(fd));
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
                throw Error(ErrorCode::Io, "Could not lock archive (" + ErrnoText() + ")", target);
            return temp;
        }
        if (errno != EEXIST) {
            throw Error(ErrorCode::Io, "Could not create archive (" + ErrnoText() + ")", target);
        }
    }
    throw Error(ErrorCode::Io, "Could not create archive (no free temporary name)", target);
}

void SyncFile(int fd, const fs::path& path) {
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        throw Error(ErrorCode::Io, "Could not write archive (" + ErrnoText() + ")", path);
    }
}

void CommitTemp(TempFile& temp, const fs::path& target, bool replace) {
    if (replace) {
        if (::rename(temp.Path().c_str(), target.c_str()) != 0)
            throw Error(ErrorCode::Io, "Could not create archive (" + ErrnoText() + ")", target);
    } else if (::renameat2(AT_FDCWD, temp.Path().c_str(), AT_FDCWD, target.c_str(),
                           RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) {
            throw Error(ErrorCode::Io, "Could not create archive (a file appeared under its name)",
                        target);
        }
        // File systems without the flag: a plain rename, the best they allow.
        if ((errno != EINVAL && errno != ENOSYS) ||
            ::rename(temp.Path().c_str(), target.c_str()) != 0) {
            throw Error(ErrorCode::Io, "Could not create archive (" + ErrnoText() + ")", target);
        }
    }
    temp.Released();
    temp.Close();
}

void LimitSink::Write(const void* data, std::size_t size) {
    if (inner_.Position() + size > kMaxArchiveBytes) {
        throw Error(ErrorCode::TooLarge,
                    "Archive would reach 4 GiB, more than the ZIP format written allows", path_);
    }
    inner_.Write(data, size);
}

PieceResult CompressPiece(Deflater& deflater, const std::uint8_t* data, std::size_t size,
                          bool first, bool last, bool store) {
    PieceResult result;
    result.size = size;
    result.crc = Crc32(0, data, size);
    if (first)
        result.text = LooksLikeText(data, std::min(size, kTextSampleSize));
    if (store)
        result.data.assign(data, data + size);
    else
        deflater.Compress(data, size, last, result.data);
    return result;
}

const std::vector<std::uint8_t>& StartEntry(TZipHeaderInfo& record, const PieceResult& first,
                                            bool store, const std::vector<std::uint8_t>* fallback,
                                            std::uint64_t entrySize, int level) {
    const std::vector<std::uint8_t>* bytes = &first.data;
    record.internalAttributes = first.text ? 1 : 0;
    record.method = store ? kMethodStored : kMethodDeflated;
    if (!store && fallback != nullptr && first.data.size() >= entrySize) {
        // Deflate did not shrink a small entry: its bytes are written as they are.
        record.method = kMethodStored;
        bytes = fallback;
    }
    record.flags =
        static_cast<std::uint16_t>(NameFlags(record.StoredName()) |
                                   (record.method == kMethodDeflated ? LevelFlags(level) : 0));
    return *bytes;
}

void FinishArchive(ByteSink& sink, const std::vector<const TZipHeaderInfo*>& records,
                   const std::vector<std::uint8_t>& comment, int fd, const fs::path& path) {
    TEndCentral end;
    end.centralOffset = static_cast<std::uint32_t>(sink.Position());
    for (const TZipHeaderInfo* record : records) {
        const auto header = CentralHeaderBytes(*record);
        sink.Write(header.data(), header.size());
    }
    end.centralSize = static_cast<std::uint32_t>(sink.Position() - end.centralOffset);
    end.entriesThisDisk = end.totalEntries = static_cast<std::uint16_t>(records.size());
    end.comment = comment;
    const auto endBytes = EndCentralBytes(end);
    sink.Write(endBytes.data(), endBytes.size());
    sink.Flush();
    SyncFile(fd, path);
}

std::string ErrnoText() {
    return std::strerror(errno);
}

}  // namespace vellumark::zip
