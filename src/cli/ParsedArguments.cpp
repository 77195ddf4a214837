#include "cli/ParsedArguments.h"

#include <algorithm>
#include <charconv>

#include "common/Error.h"
#include "imaging/ScanDocument.h"

namespace vellumark::cli {
namespace {

std::string SeeHelp(const CommandSpec& command) {
    return " (see vellumark " + std::string(command.name) + " --help)";
}

const OptionSpec* FindOption(const CommandSpec& command, std::string_view name) {
    for (const OptionSpec& option : Options()) {
        if ((option.commands & command.bit) != 0 &&
            (option.name == name || (!option.shortName.empty() && option.shortName == name))) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

bool ParsedArguments::Has(Option option) const {
    return std::any_of(options_.begin(), options_.end(),
                       [&](const auto& given) { return given.first == option; });
}

std::optional<std::string> ParsedArguments::Value(Option option) const {
    for (auto it = options_.rbegin(); it != options_.rend(); ++it) {
        if (it->first == option)
            return it->second;
    }
    return std::nullopt;
}

unsigned ParsedArguments::Count(Option option, unsigned fallback) const {
    const std::optional<std::string> text = Value(option);
    if (!text)
        return fallback;
    unsigned value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, ec] = std::from_chars(text->data(), end, value);
    if (ec != std::errc() || stop != end || value == 0) {
        throw Error(ErrorCode::Usage, std::string(OptionOf(option).name) +
                                          " needs a whole number of 1 or more, not \"" + *text +
                                          "\"");
    }
    return value;
}

int RenderDpiOf(const ParsedArguments& arguments) {
    const unsigned dpi = arguments.Count(Option::Dpi, imaging::kDefaultRenderDpi);
    if (dpi < 50 || dpi > 1200)
        throw Error(ErrorCode::Usage, "--dpi is 50 to 1200, not " + std::to_string(dpi));
    return static_cast<int>(dpi);
}

ParsedArguments ParseArguments(const CommandSpec& command, const Arguments& args) {
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands_.push_back(arg);  // "-" alone is an operand too
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        const OptionSpec* option = FindOption(command, name);
        if (option == nullptr)
            throw Error(ErrorCode::Usage, "unknown option \"" + arg + "\"" + SeeHelp(command));
        std::string value;
        if (option->argument.empty()) {
            if (inlineValue)
                throw Error(ErrorCode::Usage, std::string(option->name) + " takes no value");
        } else if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            throw Error(ErrorCode::Usage, std::string(option->name) + " needs a value");
        }
        parsed.options_.emplace_back(option->id, std::move(value));
    }
    return parsed;
}

void CheckOperands(const CommandSpec& command, const ParsedArguments& arguments) {
    const std::size_t count = arguments.Operands().size();
    if (count < command.minOperands || count > command.maxOperands) {
        throw Error(ErrorCode::Usage, "usage: vellumark " + std::string(command.name) + " " +
                                          std::string(command.operands) + SeeHelp(command));
    }
}

}  // namespace vellumark::cli
