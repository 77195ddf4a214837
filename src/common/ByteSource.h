#pragma once
// Bytes to read at any offset: a file or a block of memory. The archive update reader and the
// document reader both read through this, so that tests and fuzzers can feed them bytes from
// memory.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "common/FileIo.h"

namespace vellumark {

// Implementations are immutable once made, and ReadAt is safe to call from several threads.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads up to `size` bytes at `offset`; returns how many were read, fewer only where the
    // source ends (0 at or past its end). Throws vellumark::Error (Io) when the device fails.
    virtual std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) const = 0;
};

// An open file, read with pread. Its size is fixed when the source is made.
class FileSource final : public ByteSource {
public:
    // Takes the descriptor. Throws vellumark::Error (Io) when its size cannot be read.
    FileSource(UniqueFd fd, std::filesystem::path path);
    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) const override;

private:
    UniqueFd fd_;
    std::filesystem::path path_;
    std::uint64_t size_ = 0;
};

// A copy of some bytes, held by the source.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    explicit MemorySource(std::span<const std::uint8_t> bytes)
        : bytes_(bytes.begin(), bytes.end()) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) const override;

private:
    std::vector<std::uint8_t> bytes_;
};

// Opens a plain file for reading. Throws vellumark::Error: BadInput when there is no such file
// or it is a folder, a pipe or a device (a read could block forever); Io when it cannot be
// opened.
std::shared_ptr<const FileSource> OpenFileSource(const std::filesystem::path& path);

}  // namespace vellumark
