#pragma once
// Folders a run of the program would find where it clears up: one a killed run left, and decoys
// of a user's that only look like ours (by name, by a forged or borrowed mark, by a link, by
// owner). Every test that lets the program clear up plants the decoys and checks they are whole.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/TempFolder.h"

namespace vellumark::testing {

// A folder made by a process that then died without clearing up, as a run killed outright
// leaves its folders: marked, and nobody holding its lock. Holds a file, like a real one.
inline std::filesystem::path MakeAbandonedFolder(const std::filesystem::path& parent,
                                                 std::string_view prefix) {
    int channel[2];
    if (::pipe(channel) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string made;
        try {
            // Leaked on purpose: _exit runs no destructor, so the folder stays.
            auto* folder = new vellumark::TempFolder(vellumark::TempFolder::Create(parent, prefix));
            std::ofstream(folder->Path() / "1.jpg") << "picture";
            made = folder->Path().string();
        } catch (...) {
        }
        (void)!::write(channel[1], made.data(), made.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string path;
    char buffer[512];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        path.append(buffer, static_cast<std::size_t>(n));
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    if (path.empty())
        throw std::runtime_error("the abandoned folder was not made");
    return path;
}

inline std::string MarkerOf(const std::filesystem::path& folder) {
    std::ifstream in(folder / std::string(vellumark::kRunMarkerName), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A user's folders in `parent` that a sweep with `prefix` must leave whole, each holding a file
// "keep" (or, for a link, pointing at a folder that holds one).
class Decoys {
public:
    // `elsewhere` is a folder outside `parent` for link targets.
    Decoys(const std::filesystem::path& parent, std::string_view prefix,
           const std::filesystem::path& elsewhere) {
        namespace fs = std::filesystem;
        const std::string p(prefix);
        fs::create_directories(parent);
        fs::create_directories(elsewhere);
        const auto plain = [&](const std::string& name) {
            fs::create_directories(parent / name);
            std::ofstream(parent / name / "keep") << name;
            folders_.push_back(parent / name);
            return parent / name;
        };
        // Names that fit the pattern, and no mark.
        plain(p + "photos");
        plain(p + "Ab12Cd");
        plain(p + "backup");
        // A mark of the right shape from another machine.
        const fs::path foreign = plain(p + "nfs001");
        const std::string real = MarkerOf(MakeAbandonedFolder(elsewhere, "source-"));
        std::string moved = real;
        moved.replace(moved.find("host "), 5, "host another-");
        std::ofstream(foreign / std::string(vellumark::kRunMarkerName)) << moved;
        // A mark that is a link to a real one.
        const fs::path borrowed = plain(p + "borrow");
        fs::create_symlink(
            MakeAbandonedFolder(elsewhere, "real-") / std::string(vellumark::kRunMarkerName),
            borrowed / std::string(vellumark::kRunMarkerName));
        // A mark cut short, as by a full disk.
        const fs::path cut = plain(p + "cut001");
        std::ofstream(cut / std::string(vellumark::kRunMarkerName))
            << real.substr(0, real.size() - 1);
        // A link to a folder a killed run left: neither the link nor its target is ours to
        // remove through this folder.
        target_ = MakeAbandonedFolder(elsewhere, "target-");
        fs::create_directory_symlink(target_, parent / (p + "link01"));
        links_.push_back(parent / (p + "link01"));
        // Another user's folder, marked like ours: only root can make one.
        if (::geteuid() == 0) {
            const fs::path theirs = MakeAbandonedFolder(parent, prefix);
            std::ofstream(theirs / "keep") << "theirs";
            for (const fs::path& path : {theirs / std::string(vellumark::kRunMarkerName),
                                         theirs / "keep", theirs / "1.jpg", theirs})
                (void)!::chown(path.c_str(), 65534, 65534);
            folders_.push_back(theirs);
        }
    }

    void ExpectWhole() const {
        namespace fs = std::filesystem;
        for (const fs::path& folder : folders_)
            EXPECT_TRUE(fs::exists(folder / "keep")) << folder;
        for (const fs::path& link : links_)
            EXPECT_TRUE(fs::is_symlink(link)) << link;
        EXPECT_TRUE(fs::exists(target_ / "1.jpg")) << target_;
    }

private:
    std::vector<std::filesystem::path> folders_;
    std::vector<std::filesystem::path> links_;
    std::filesystem::path target_;
};

}  // namespace vellumark::testing
