#include "zip/ByteIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/Error.h"

namespace vellumark::zip {
namespace {

// How much written data waits before it is handed to the disk: large enough for few calls,
// small enough that the commit's fsync is short.
constexpr std::uint64_t kWriteBackStep = 4 << 20;

}  // namespace

std::size_t FdDevice::WriteAt(std::uint64_t position, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pwrite(fd_, bytes + done, size - done, static_cast<off_t>(position + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
            break;
        if (n < 0) {
            throw Error(ErrorCode::Io,
                        std::string("Could not write archive (") + std::strerror(errno) + ")",
                        path_);
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    const std::uint64_t end = position + done;
    if (end >= handedOver_ + kWriteBackStep) {
        // Starts the write-back and returns; a failure shows again in the fsync.
        ::sync_file_range(fd_, static_cast<off_t>(handedOver_),
                          static_cast<off_t>(end - handedOver_), SYNC_FILE_RANGE_WRITE);
        handedOver_ = end;
    }
    return done;
}

FileSink::FileSink(std::unique_ptr<ByteDevice> device, std::filesystem::path path,
                   std::size_t bufferSize)
    : device_(std::move(device)), path_(std::move(path)), buffer_(bufferSize) {}

void FileSink::WriteRaw(std::uint64_t position, const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return;
    if (device_->WriteAt(position, data, size) < size) {
        throw Error(ErrorCode::NoRoom, "Not enough room to write archive", path_);
    }
}

void FileSink::Write(const void* data, std::size_t size) {
    if (size == 0)
        return;  // an empty entry's data may come without a buffer
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (used_ + size > buffer_.size())
        Flush();
    if (size >= buffer_.size()) {
        WriteRaw(flushed_, bytes, size);
        flushed_ += size;
    } else {
        std::memcpy(buffer_.data() + used_, bytes, size);
        used_ += size;
    }
    position_ = flushed_ + used_;
}

void FileSink::WriteAt(std::uint64_t position, const void* data, std::size_t size) {
    if (position + size > position_) {
        throw Error(ErrorCode::Internal, "write past the end of the archive", path_);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    // The part that still sits in the buffer is patched there, the rest on disk.
    while (size > 0 && position < flushed_) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, flushed_ - position));
        WriteRaw(position, bytes, n);
        position += n;
        bytes += n;
        size -= n;
    }
    if (size > 0)
        std::memcpy(buffer_.data() + (position - flushed_), bytes, size);
}

void FileSink::Flush() {
    if (used_ == 0)
        return;
    WriteRaw(flushed_, buffer_.data(), used_);
    flushed_ += used_;
    used_ = 0;
}

void MemorySink::Write(const void* data, std::size_t size) {
    if (size == 0)
        return;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + size);
}

void MemorySink::WriteAt(std::uint64_t position, const void* data, std::size_t size) {
    if (position + size > bytes_.size()) {
        throw Error(ErrorCode::Internal, "write past the end of the archive");
    }
    std::memcpy(bytes_.data() + position, data, size);
}

}  // namespace vellumark::zip
