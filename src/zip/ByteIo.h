#pragma once
// Byte devices the archive writer writes through. It takes a sink rather than a path so that
// tests can put a failing or in-memory device under it. Every failure is thrown as
// vellumark::Error; none of these classes is thread-safe.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace vellumark::zip {

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

// The device under a FileSink: stores bytes at a position and says how many it stored. Fewer
// than asked means the device is full; other failures throw.
class ByteDevice {
public:
    virtual ~ByteDevice() = default;
    virtual std::size_t WriteAt(std::uint64_t position, const void* data, std::size_t size) = 0;
};

// A file descriptor as a device (pwrite); a full disk or quota gives a short count. Appended
// bytes are handed to the disk every few megabytes as they come, so that the fsync an archive
// is committed with waits only for its last few instead of all of them.
class FdDevice final : public ByteDevice {
public:
    FdDevice(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
    std::size_t WriteAt(std::uint64_t position, const void* data, std::size_t size) override;

private:
    int fd_;
    std::filesystem::path path_;
    std::uint64_t handedOver_ = 0;  // bytes before this offset are on their way to the disk
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

}  // namespace vellumark::zip
