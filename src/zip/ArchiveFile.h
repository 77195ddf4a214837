#pragma once
// What both archive writers share: the temporary file an archive is built in beside its final
// name, the step that gives it that name, the 4 GiB guard, and how an entry's first piece
// decides the way the entry is stored.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "common/FileIo.h"
#include "zip/ByteIo.h"
#include "zip/Deflate.h"
#include "zip/ZipRecords.h"

namespace vellumark::zip {

inline constexpr std::uint64_t kMaxArchiveBytes = 0xFFFFFFFFull;
inline constexpr std::size_t kMaxEntries = 0xFFFF;

// A file that is removed on destruction unless it has been moved under its final name.
class TempFile {
public:
    TempFile(std::filesystem::path path, UniqueFd fd)
        : path_(std::move(path)), fd_(std::move(fd)) {}
    TempFile(TempFile&&) = default;
    TempFile& operator=(TempFile&&) = delete;
    ~TempFile();
    int Fd() const { return fd_.Get(); }
    const std::filesystem::path& Path() const { return path_; }
    void Close() { fd_.Reset(); }
    // The file now stands under another name; nothing is left to remove.
    void Released() { path_.clear(); }

private:
    std::filesystem::path path_;
    UniqueFd fd_;
};

// A new file beside `target` ("name.tmp-xxxxxx"), created with the usual permissions and held
// with an exclusive flock while it is open. Throws vellumark::Error (Io).
TempFile CreateTempBeside(const std::filesystem::path& target);

// The calling thread's errno as text, for messages.
std::string ErrnoText();

// fsync, where the file system supports it. Throws vellumark::Error (Io) naming `path`.
void SyncFile(int fd, const std::filesystem::path& path);

// Gives `temp` the name `target` and closes it (in that order: it stays locked until it no
// longer has a temporary name): never over a file that stands there unless
// `replace`, so a file that appeared meanwhile is not lost. Throws vellumark::Error (Io).
void CommitTemp(TempFile& temp, const std::filesystem::path& target, bool replace = false);

// Refuses any write that would carry the archive to 4 GiB, where its 32-bit offsets end.
class LimitSink final : public ByteSink {
public:
    LimitSink(ByteSink& inner, std::filesystem::path path)
        : inner_(inner), path_(std::move(path)) {}
    void Write(const void* data, std::size_t size) override;
    void WriteAt(std::uint64_t position, const void* data, std::size_t size) override {
        inner_.WriteAt(position, data, size);
    }
    std::uint64_t Position() const override { return inner_.Position(); }
    void Flush() override { inner_.Flush(); }

private:
    ByteSink& inner_;
    std::filesystem::path path_;
};

// One piece of an entry's data, compressed (or kept, when the entry is stored).
struct PieceResult {
    std::vector<std::uint8_t> data;  // deflated bytes, or the piece's bytes when storing
    std::vector<std::uint8_t> raw;   // the piece's bytes, kept for the stored fallback
    std::uint32_t crc = 0;
    std::size_t size = 0;
    bool text = true;  // of the entry's first piece only
};

// Compresses (or, when `store`, copies) one piece. `first` samples the entry's kind of data;
// `last` closes the deflate stream.
PieceResult CompressPiece(Deflater& deflater, const std::uint8_t* data, std::size_t size,
                          bool first, bool last, bool store);

// Sets the method, flags and internal attributes of an entry from its first piece and returns
// the bytes to write for that piece: the piece's raw bytes when deflate did not shrink a small
// entry (`fallback`, the entry's whole data), else its data.
const std::vector<std::uint8_t>& StartEntry(TZipHeaderInfo& record, const PieceResult& first,
                                            bool store, const std::vector<std::uint8_t>* fallback,
                                            std::uint64_t entrySize, int level);

// The central directory and end record after the entries, then flush and fsync.
void FinishArchive(ByteSink& sink, const std::vector<const TZipHeaderInfo*>& records,
                   const std::vector<std::uint8_t>& comment, int fd,
                   const std::filesystem::path& path);

}  // namespace vellumark::zip
