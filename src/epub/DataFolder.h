#pragma once
// Where the program finds the files it ships: the container files ("epubfiles") and the help page
// ("help"). A program run from its build folder has them beside itself; an installed program has
// them in the data folder of its installation prefix (../share/vellumark from bin/).

#include <filesystem>

namespace vellumark::epub {

// The data folder of the running program: FindDataFolder(ProgramFolder()). Throws
// vellumark::Error (Io) as FindDataFolder does, or when the program's folder cannot be found.
std::filesystem::path DataFolder();

// The first of `programFolder` and the installed data folder relative to it that holds an
// "epubfiles" folder. Throws vellumark::Error (Io) naming every folder looked in when neither does.
std::filesystem::path FindDataFolder(const std::filesystem::path& programFolder);

}  // namespace vellumark::epub
