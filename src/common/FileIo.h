#pragma once
// Plain POSIX file access shared by the libraries: an owned descriptor and a read that does not
// stop at a short count.

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace vellumark {

// An owned POSIX file descriptor, closed on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
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

// Reads `size` bytes at `offset` of a file descriptor with pread, going on after short reads
// and interruptions; returns the count read, fewer only at the end of the file. Thread-safe for
// one descriptor. Throws vellumark::Error (Io) with `path` on a read error.
std::size_t ReadFully(int fd, std::uint64_t offset, void* data, std::size_t size,
                      const std::filesystem::path& path);

}  // namespace vellumark
