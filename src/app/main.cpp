// No arguments, or one naming a document, opens the window; anything else is the command line,
// which never starts Qt.
#include "app/RunWindow.h"
#include "cli/Cli.h"
#include "common/Heap.h"

int main(int argc, char** argv) {
    // Clean-up makes and drops buffers of a few megabytes for every page; reused, they cost
    // half the time.
    vellumark::KeepPageBuffersInHeap();
    if (argc <= 1)
        return vellumark::app::RunWindow(argc, argv);
    if (const auto document = vellumark::cli::WindowDocument(argc, argv))
        return vellumark::app::RunWindow(argc, argv, *document);
    return vellumark::cli::RunCommandLine(argc, argv);
}
