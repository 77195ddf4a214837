#pragma once
// The command line: `vellumark convert|info|search|pack ...`, `--help`, `--version`.

namespace vellumark::cli {

// Runs the subcommand named by argv[1] and returns the process exit code: 0 on success, 2 for a
// problem the user can fix, 1 for a failure. Never creates a QApplication.
int RunCommandLine(int argc, char** argv);

}  // namespace vellumark::cli
