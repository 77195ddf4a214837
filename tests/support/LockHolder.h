#pragma once
// Another process holding a folder's lock, as a run that is still going holds its staging
// folder's: made by forking, and killed (taking its lock with it) on Kill or destruction.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <stdexcept>

namespace vellumark::testing {

class LockHolder {
public:
    // Returns once the other process holds the lock.
    explicit LockHolder(const std::filesystem::path& folder) {
        int ready[2];
        if (::pipe(ready) != 0)
            throw std::runtime_error("pipe failed");
        child_ = ::fork();
        if (child_ == 0) {
            const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
            ::flock(fd, LOCK_EX);
            (void)!::write(ready[1], "x", 1);
            ::pause();
            ::_exit(0);
        }
        char c = 0;
        const bool held = child_ > 0 && ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
        ::close(ready[1]);
        if (!held)
            throw std::runtime_error("the lock holder did not start");
    }
    ~LockHolder() { Kill(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    // The holder dies at once, as a run killed outright does.
    void Kill() {
        if (child_ <= 0)
            return;
        ::kill(child_, SIGKILL);
        ::waitpid(child_, nullptr, 0);
        child_ = -1;
    }

private:
    pid_t child_ = -1;
};

}  // namespace vellumark::testing
