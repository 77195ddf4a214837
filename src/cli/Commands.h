#pragma once
// One function per subcommand; each takes the arguments after the subcommand's name and returns
// the exit code. Errors are printed to stderr as one line.

#include <string>
#include <vector>

namespace vellumark::cli {

using Arguments = std::vector<std::string>;

int RunPack(const Arguments& args);
int RunConvert(const Arguments& args);
int RunInfo(const Arguments& args);
int RunSearch(const Arguments& args);

}  // namespace vellumark::cli
