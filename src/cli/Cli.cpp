#include "cli/Cli.h"

#include <exception>
#include <iostream>
#include <new>

#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/ParsedArguments.h"
#include "common/Error.h"

namespace vellumark::cli {

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
        return ReportError("unknown command \"" + name + "\" (see vellumark --help)", 2);
    // The one place errors of the command line are caught: each becomes one line on stderr and
    // the exit code its kind calls for.
    try {
        const ParsedArguments arguments =
            ParseArguments(*command, Arguments(argv + 2, argv + argc));
        if (arguments.Has("--help")) {
            std::cout << CommandHelp(*command);
            return 0;
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
