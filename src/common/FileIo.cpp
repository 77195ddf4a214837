#include "common/FileIo.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/Error.h"

namespace vellumark {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Reset();
        fd_ = other.Release();
    }
    return *this;
}

int UniqueFd::Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset() noexcept {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::size_t ReadFully(int fd, std::uint64_t offset, void* data, std::size_t size,
                      const std::filesystem::path& path) {
    auto* bytes = static_cast<std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            throw Error(ErrorCode::Io, std::string("Could not read (") + std::strerror(errno) + ")",
                        path);
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace vellumark
