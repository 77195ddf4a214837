#pragma once
// A subcommand's arguments as the option table reads them: options (in any order, before or
// after the operands, as "--name value" or "--name=value"; "--" ends them) and operands.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/CommandTable.h"

namespace vellumark::cli {

using Arguments = std::vector<std::string>;

class ParsedArguments {
public:
    const std::vector<std::string>& Operands() const { return operands_; }
    // True when the option (a switch or one with a value) was given.
    bool Has(Option option) const;
    // The option's value, the last one when given more than once.
    std::optional<std::string> Value(Option option) const;
    // The value of an option that takes a whole number of 1 or more, or `fallback` when not
    // given. Throws vellumark::Error (Usage) naming the option for anything else.
    unsigned Count(Option option, unsigned fallback) const;

private:
    friend ParsedArguments ParseArguments(const CommandSpec& command, const Arguments& args);
    std::vector<std::string> operands_;
    std::vector<std::pair<Option, std::string>> options_;  // value "" for a switch
};

// The resolution --dpi asks PDF pages to be drawn at, or the default. Throws vellumark::Error
// (Usage) for a value outside 50 to 1200.
int RenderDpiOf(const ParsedArguments& arguments);

// Reads the arguments after the command's name against the option table. Operand counts are
// not checked here (so that `COMMAND --help` works with none); see CheckOperands. Throws
// vellumark::Error (Usage) for an unknown option, a missing value or a value given to a switch.
ParsedArguments ParseArguments(const CommandSpec& command, const Arguments& args);

// Throws vellumark::Error (Usage) with the command's usage when it got too few or too many
// operands.
void CheckOperands(const CommandSpec& command, const ParsedArguments& arguments);

}  // namespace vellumark::cli
