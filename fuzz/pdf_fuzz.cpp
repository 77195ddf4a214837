// Opens arbitrary bytes as a PDF file and reads every page: its own image or its drawing, and
// its text layer.
#include "ScanFileFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vellumark::fuzz::FuzzScanFile(data, size, ".pdf");
}
