// No arguments, or one naming a document, opens the window; anything else is the command line,
// which never starts Qt.
#include <cstdlib>  // says whether this is glibc
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "app/RunWindow.h"
#include "cli/Cli.h"

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // Pages are worked on in buffers of a few megabytes, made and dropped for every page. By
    // default each such buffer is a fresh mapping whose every page the kernel must fault in
    // and zero; kept in the heap instead, they are reused, and clean-up runs in half the time.
    // What the heap keeps beyond this is still given back.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    if (argc <= 1)
        return vellumark::app::RunWindow(argc, argv);
    if (const auto document = vellumark::cli::WindowDocument(argc, argv))
        return vellumark::app::RunWindow(argc, argv, *document);
    return vellumark::cli::RunCommandLine(argc, argv);
}
