// Opens arbitrary bytes as a page image or a comic archive and decodes every page's picture.
#include "ScanFileFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vellumark::fuzz::FuzzScanFile(data, size, ".cbz");
}
