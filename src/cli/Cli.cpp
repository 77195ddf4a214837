#include "cli/Cli.h"

#include <exception>
#include <iostream>
#include <new>
#include <string_view>
#include <system_error>

#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/ParsedArguments.h"
#include "common/Error.h"

namespace vellumark::cli {

std::optional<std::filesystem::path> WindowDocument(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-' || FindCommand(argv[1]) != nullptr ||
        std::string_view(argv[1]) == "help") {
        return std::nullopt;
    }
    std::error_code ec;
    const std::filesystem::path document(argv[1]);
    if (!std::filesystem::is_regular_file(document, ec))
        return std::nullopt;
    const std::filesystem::path full = std::filesystem::absolute(document, ec);
    if (ec)
        return document;
    // Without "." parts, as the window shows it. ".." stays: through a symbolic link it may not
    // lead back where the text suggests.
    std::filesystem::path shown;
    for (const std::filesystem::path& part : full) {
        if (part != ".")
            shown /= part;
    }
    return shown;
}

int ReportError(const std::string& text, int exitCode) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    std::cerr << "vellumark: " << line << "\n";
    return exitCode;
}

int RunCommandLine(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << GeneralHelp();
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        std::cout << GeneralHelp();
        return 0;
    }
    if (name == "--version") {
        std::cout << "Vellumark " VELLUMARK_VERSION "\n";
        return 0;
    }
    const CommandSpec* command = FindCommand(name);
    if (command == nullptr)
        return ReportError("no such command or file \"" + name + "\" (see vellumark --help)", 2);
    // The one place errors of the command line are caught: each becomes one line on stderr and
    // the exit code its kind calls for.
    try {
        const ParsedArguments arguments =
            ParseArguments(*command, Arguments(argv + 2, argv + argc));
        if (arguments.Has(Option::Help)) {
            std::cout << CommandHelp(*command);
            return 0;
        }
        if (command->answer != nullptr) {
            if (const int answered = command->answer(arguments); answered >= 0)
                return answered;
        }
        CheckOperands(*command, arguments);
        return command->run(arguments);
    } catch (const Error& e) {
        return ReportError(DescribeError(e), ExitCodeFor(e.Code()));
    } catch (const std::bad_alloc&) {
        return ReportError("out of memory", 1);
    } catch (const std::exception& e) {
        return ReportError(e.what(), 1);
    }
}

}  // namespace vellumark::cli
