#pragma once
// Byte devices the archive code reads and writes through. The writer takes a sink rather than a
// path so that tests can put a failing or in-memory device under it, and the update reader takes
// a source so that it can be fed arbitrary bytes from memory.
//
// Every failure is thrown as vellumark::Error; none of these classes is thread-safe except
// FileSource::ReadAt, which uses pread and may be called from several threads at once.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

namespace vellumark::zip {

// An owned POSIX file descriptor, closed on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    int Release() noexcept;
    void Reset() noexcept;

private:
    int fd_ = -1;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Appends all `size` bytes or throws (ErrorCode::NoRoom when the device took fewer).
    virtual void Write(const void* data, std::size_t size) = 0;
    // Overwrites bytes already written, without moving the append position.
    virtual void WriteAt(std::uint64_t position, const void* data, std::size_t size) = 0;
    // Bytes appended so far.
    virtual std::uint64_t Position() const = 0;
    // Pushes buffered bytes to the device.
    virtual void Flush() {}
};

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `position` or throws; never reads outside [0, Size()).
    virtual void ReadAt(std::uint64_t position, void* data, std::size_t size) const = 0;
};

// The device under a FileSink: stores bytes at a position and says how many it stored. Fewer
// than asked means the device is full; other failures throw.
class ByteDevice {
public:
    virtual ~ByteDevice() = default;
    virtual std::size_t WriteAt(std::uint64_t position, const void* data, std::size_t size) = 0;
};

// A file descriptor as a device (pwrite); a full disk or quota gives a short count.
class FdDevice final : public ByteDevice {
public:
    FdDevice(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
    std::size_t WriteAt(std::uint64_t position, const void* data, std::size_t size) override;

private:
    int fd_;
    std::filesystem::path path_;
};

// Appends to a device through a buffer. A device that stores fewer bytes than asked (a full
// disk) makes it throw "Not enough room to write archive" (ErrorCode::NoRoom).
class FileSink final : public ByteSink {
public:
    FileSink(std::unique_ptr<ByteDevice> device, std::filesystem::path path,
             std::size_t bufferSize = 256 * 1024);
    void Write(const void* data, std::size_t size) override;
    void WriteAt(std::uint64_t position, const void* data, std::size_t size) override;
    std::uint64_t Position() const override { return position_; }
    void Flush() override;

private:
    void WriteRaw(std::uint64_t position, const std::uint8_t* data, std::size_t size);

    std::unique_ptr<ByteDevice> device_;
    std::filesystem::path path_;
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
    std::uint64_t flushed_ = 0;   // file offset where the buffer starts
    std::uint64_t position_ = 0;  // flushed_ + used_
};

class MemorySink final : public ByteSink {
public:
    void Write(const void* data, std::size_t size) override;
    void WriteAt(std::uint64_t position, const void* data, std::size_t size) override;
    std::uint64_t Position() const override { return bytes_.size(); }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Reads an open file descriptor with pread; the size is fixed when the source is made.
class FileSource final : public ByteSource {
public:
    FileSource(int fd, std::filesystem::path path);
    std::uint64_t Size() const override { return size_; }
    void ReadAt(std::uint64_t position, void* data, std::size_t size) const override;

private:
    int fd_;
    std::filesystem::path path_;
    std::uint64_t size_ = 0;
};

// Reads a caller-owned block of memory that must outlive the source.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    void ReadAt(std::uint64_t position, void* data, std::size_t size) const override;

private:
    std::span<const std::uint8_t> bytes_;
};

// Reads exactly `size` bytes at `offset` of a file descriptor; returns the count actually read
// (less only at the end of the file). Throws on a read error.
std::size_t ReadFully(int fd, std::uint64_t offset, void* data, std::size_t size,
                      const std::filesystem::path& path);

}  // namespace vellumark::zip
