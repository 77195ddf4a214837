#include "cli/Cli.h"

#include <cstring>
#include <exception>
#include <iostream>
#include <string_view>
#include <system_error>

#include "cli/Commands.h"

namespace vellumark::cli {
namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  vellumark [FILE]                   open the window (with the TIFF or MDI file FILE)\n"
    "  vellumark convert INPUT [--title T] [--author A] [--cover FILE] [--output-dir DIR]\n"
    "                    [--overwrite] [--jobs N] [--quiet]\n"
    "                                     convert a TIFF or MDI scan into an .epub book\n"
    "  vellumark info INPUT               page count, and per page: size, resolution, layout, codec\n"
    "  vellumark search INPUT WORD [--jobs N]\n"
    "                                     one line per hit, with its 1-based page number\n"
    "  vellumark pack FOLDER ARCHIVE      pack a folder the way a book is packed\n"
    "  vellumark --help | --version\n"
    "\n"
    "Exit codes: 0 success, 2 a problem with the input or the arguments, 1 a failure.\n";

struct Command {
    std::string_view name;
    int (*run)(const Arguments&);
};
constexpr Command kCommands[] = {
    {"convert", RunConvert}, {"info", RunInfo}, {"search", RunSearch}, {"pack", RunPack}};

bool IsCommandWord(std::string_view word) {
    if (word == "help")
        return true;
    for (const Command& command : kCommands) {
        if (command.name == word)
            return true;
    }
    return false;
}

}  // namespace

std::optional<std::filesystem::path> WindowDocument(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-' || IsCommandWord(argv[1]))
        return std::nullopt;
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

int RunCommandLine(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string command = argv[1];
    const Arguments args(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "--version") {
        std::cout << "Vellumark " VELLUMARK_VERSION "\n";
        return 0;
    }
    try {
        for (const Command& known : kCommands) {
            if (known.name == command)
                return known.run(args);
        }
    } catch (const std::exception& e) {
        // Subcommands report their own errors; this is the last guard against a stray one.
        std::cerr << "vellumark: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "vellumark: no such command or file \"" << command
              << "\" (see vellumark --help)\n";
    return 2;
}

}  // namespace vellumark::cli
