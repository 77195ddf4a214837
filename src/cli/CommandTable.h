#pragma once
// The command line, declared once as data: every subcommand and every option, with its argument,
// its help text and the commands that take it. The parser, `vellumark --help`,
// `vellumark COMMAND --help` and the manual page are all made from these tables, so adding an
// option is adding a line here (and reading it in the command).

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::cli {

class ParsedArguments;

// One bit per subcommand, for the commands an option belongs to.
enum CommandBit : unsigned {
    kConvert = 1u << 0,
    kInfo = 1u << 1,
    kSearch = 1u << 2,
    kPack = 1u << 3,
    kOutline = 1u << 4,
    kEveryCommand = kConvert | kInfo | kSearch | kPack | kOutline,
};

// Every option, as the code reads it: a name that is not declared here does not compile.
// kOptions lists them in this order (checked when it is compiled).
enum class Option : unsigned char {
    Title,
    Author,
    Cover,
    OutputDir,
    Overwrite,
    SkipExisting,
    Jobs,
    Quiet,
    Format,
    Ocr,
    OcrLang,
    Profile,
    PageSize,
    Quality,
    Dpi,
    Clean,
    Deskew,
    Crop,
    Margin,
    SplitSpreads,
    RightToLeft,
    Upright,
    Metadata,
    Toc,
    TocFile,
    Json,
    Help,
    kCount,
};

struct OptionSpec {
    Option id;
    std::string_view name;            // "--title"
    std::string_view argument;        // "T"; empty for a switch
    std::string_view help;            // one line, starting in lower case
    unsigned commands;                // CommandBit values
    std::string_view shortName = {};  // "-h", when it has one
};

struct CommandSpec {
    std::string_view name;  // "convert"
    CommandBit bit;
    std::string_view operands;  // "INPUT WORD"
    std::size_t minOperands;
    std::size_t maxOperands;
    std::string_view summary;      // one line, starting in lower case
    std::string_view description;  // a few sentences for the command's help and the manual
    std::string_view example;      // command lines, one per line
    int (*run)(const ParsedArguments& arguments);
    // Answers given without operands (a table asked for, say): the exit code, or -1 when the
    // arguments ask for the command's work. Null for none.
    int (*answer)(const ParsedArguments& arguments) = nullptr;
};

struct ExitCodeSpec {
    int code;
    std::string_view meaning;
};

std::span<const CommandSpec> Commands();
std::span<const OptionSpec> Options();
// The table's row of an option.
const OptionSpec& OptionOf(Option option);
std::span<const ExitCodeSpec> ExitCodes();

// The command's examples, a line each.
std::vector<std::string> ExampleLines(const CommandSpec& command);

// The command of that name, or null.
const CommandSpec* FindCommand(std::string_view name);

// "vellumark convert INPUT [options]".
std::string CommandSynopsis(const CommandSpec& command);
// `vellumark --help`.
std::string GeneralHelp();
// `vellumark COMMAND --help`: synopsis, description, options, example, exit codes.
std::string CommandHelp(const CommandSpec& command);
// The manual page vellumark.1 in roff (man macros).
std::string ManualPage();

}  // namespace vellumark::cli
