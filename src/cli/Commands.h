#pragma once
// One function per subcommand, called by the dispatcher once the arguments have been read
// against the option table and the operand count checked. Each returns the exit code; errors
// it does not handle itself are thrown as vellumark::Error and reported by the dispatcher.

#include <string>

namespace vellumark::cli {

class ParsedArguments;

int RunConvert(const ParsedArguments& arguments);
// `convert --profile list`: prints the device table.
int AnswerConvert(const ParsedArguments& arguments);
int RunInfo(const ParsedArguments& arguments);
int RunSearch(const ParsedArguments& arguments);
int RunPack(const ParsedArguments& arguments);
int RunOutline(const ParsedArguments& arguments);

// Prints "vellumark: TEXT" on stderr as one line and returns exitCode.
int ReportError(const std::string& text, int exitCode);

}  // namespace vellumark::cli
