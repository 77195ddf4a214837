#pragma once
// The command line: `vellumark convert|info|search|pack ...`, `--help`, `--version`.

#include <filesystem>
#include <optional>

namespace vellumark::cli {

// Runs the subcommand named by argv[1] and returns the process exit code: 0 on success, 2 for a
// problem the user can fix, 1 for a failure. Never creates a QApplication.
int RunCommandLine(int argc, char** argv);

// The document `vellumark FILE` opens in the window, as a file manager starts it: set when the
// only argument is neither a subcommand nor an option and names an existing file (made absolute).
// A subcommand wins over a file of the same name (`vellumark ./info` opens that file). Otherwise
// empty, and RunCommandLine handles the arguments, so that a mistyped word stays an error.
std::optional<std::filesystem::path> WindowDocument(int argc, char** argv);

}  // namespace vellumark::cli
