#pragma once
// A folder made fresh for one owner and removed whole when the owner is done with it.
//
// The owner holds an exclusive flock on the folder for the folder's whole life, so that another
// process can tell a folder whose owner is gone (killed outright, power lost) from one still in
// use, and clear away only the first kind.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "common/FileIo.h"

namespace vellumark {

class TempFolder {
public:
    // Turns the system's reason ("No space left on device") into the text of the error thrown.
    using FailureText = std::function<std::string(const std::string& reason)>;

    // Makes parent / (prefix + six random characters) and locks it. An empty parent means the
    // system's temporary folder. Throws vellumark::Error (Io) with failureText(reason) as its
    // text, by default "Cannot create a folder in PARENT: REASON".
    static TempFolder Create(std::filesystem::path parent, std::string_view prefix,
                             const FailureText& failureText = {});

    TempFolder(TempFolder&& other) noexcept;
    TempFolder& operator=(TempFolder&& other) noexcept;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Removes the folder and everything below it (links removed, never followed).
    ~TempFolder();

    const std::filesystem::path& Path() const noexcept { return path_; }

private:
    TempFolder(std::filesystem::path path, UniqueFd lock) noexcept;
    void Remove() noexcept;

    std::filesystem::path path_;
    UniqueFd lock_;  // the folder itself, opened and flocked
};

// The system's temporary folder ($TMPDIR, else /tmp).
std::filesystem::path SystemTempFolder();

// Removes each folder in `parent` named `prefix` + six characters that no live owner holds: left
// by a run that was killed. Folders in use are never touched. Returns how many were removed.
// Never throws.
int RemoveAbandonedFolders(const std::filesystem::path& parent, std::string_view prefix) noexcept;

}  // namespace vellumark
