#include "cli/Cli.h"

#include <cstring>
#include <exception>
#include <iostream>

#include "cli/Commands.h"

namespace vellumark::cli {
namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  vellumark                          open the window\n"
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

}  // namespace

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
        if (command == "convert") return RunConvert(args);
        if (command == "info") return RunInfo(args);
        if (command == "search") return RunSearch(args);
        if (command == "pack") return RunPack(args);
    } catch (const std::exception& e) {
        // Subcommands report their own errors; this is the last guard against a stray one.
        std::cerr << "vellumark: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "vellumark: unknown command \"" << command << "\" (see vellumark --help)\n";
    return 2;
}

}  // namespace vellumark::cli
