#include "common/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "common/Error.h"

namespace vellumark {

FileSource::FileSource(UniqueFd fd, std::filesystem::path path)
    : fd_(std::move(fd)), path_(std::move(path)) {
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0) {
        throw Error(ErrorCode::Io, std::string("Could not read (") + std::strerror(errno) + ")",
                    path_);
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
}

std::size_t FileSource::ReadAt(std::uint64_t offset, void* data, std::size_t size) const {
    if (offset >= size_)
        return 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset));
    return ReadFully(fd_.Get(), offset, data, n, path_);
}

std::size_t MemorySource::ReadAt(std::uint64_t offset, void* data, std::size_t size) const {
    if (offset >= bytes_.size())
        return 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, bytes_.size() - offset));
    if (n > 0)
        std::memcpy(data, bytes_.data() + offset, n);
    return n;
}

std::shared_ptr<const FileSource> OpenFileSource(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        throw Error(ErrorCode::BadInput, path.string() + ": no such file", path);
    if (status.type() == std::filesystem::file_type::directory)
        throw Error(ErrorCode::BadInput, path.string() + " is a folder, not a document", path);
    // O_NONBLOCK keeps a pipe or a device from blocking the open; the check below refuses them.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        throw Error(ErrorCode::Io, path.string() + ": cannot open: " + std::strerror(errno), path);
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw Error(ErrorCode::BadInput, path.string() + " is not a regular file", path);
    return std::make_shared<const FileSource>(std::move(fd), path);
}

}  // namespace vellumark
