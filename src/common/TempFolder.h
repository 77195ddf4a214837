#pragma once
// A folder made fresh for one owner and removed whole when the owner is done with it.
//
// The owner holds an exclusive flock on the folder for the folder's whole life, so that another
// process can tell a folder whose owner is gone (killed outright, power lost) from one still in
// use. A name is no proof that this program made a folder (a user may well keep a folder called
// "vellumark-photos"), so each folder also carries an ownership marker, written while the lock is
// held: a file named kRunMarkerName holding a fixed first line, a random token, the host name
// and the process id. Only a folder with that marker, owned by the current user, made on this
// host, and whose lock is free is ever cleared away by another run.

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

    // Makes parent / (prefix + six random characters), locks it and writes its ownership marker
    // (so the folder starts with that one file; callers keep their own files beside it or below).
    // An empty parent means the system's temporary folder. Throws vellumark::Error (Io) with
    // failureText(reason) as its text, by default "Cannot create a folder in PARENT: REASON".
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

// The name of the ownership marker inside every TempFolder.
inline constexpr std::string_view kRunMarkerName = ".vellumark-run";

// True when `folder` proves it is a TempFolder whose owner has ended: a real folder (not a
// link) of the current user holding a valid marker (a regular file of the current user, not a
// link) written on this host, and no process holds its lock. Never throws; false on any doubt.
bool IsAbandonedTempFolder(const std::filesystem::path& folder) noexcept;

// Removes each folder in `parent` named `prefix` + six characters that IsAbandonedTempFolder
// proves was left by a run that ended without clearing up (killed outright, power lost). Any
// other folder, whatever its name, is never touched, and links are never followed. Returns how
// many were removed. Never throws.
int RemoveAbandonedFolders(const std::filesystem::path& parent, std::string_view prefix) noexcept;

}  // namespace vellumark
