// No arguments opens the window; anything else is the command line, which never starts Qt.
#include "app/RunWindow.h"
#include "cli/Cli.h"

int main(int argc, char** argv) {
    if (argc > 1)
        return vellumark::cli::RunCommandLine(argc, argv);
    return vellumark::app::RunWindow(argc, argv);
}
