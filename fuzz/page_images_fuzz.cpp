// Opens arbitrary bytes as a page image or a comic archive and decodes every page's picture:
// whatever the bytes, the only way out must be a vellumark::Error (no crash, leak, hang or
// huge allocation). Archives are read from a file, as the program reads them.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/Error.h"
#include "imaging/ScanDocument.h"

namespace {

// Bigger pages are legal but decode for seconds; the fuzzer learns nothing more from them.
constexpr std::uint64_t kMaxFuzzPixels = 4'000'000;

// One file for the run, rewritten for every input and removed at its end.
struct FuzzFileName {
    std::string path = "/tmp/vellumark-fuzz-" + std::to_string(getpid()) + ".cbz";
    ~FuzzFileName() { std::remove(path.c_str()); }
};

const std::string& FuzzFile() {
    static const FuzzFileName name;
    return name.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (std::FILE* file = std::fopen(FuzzFile().c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    } else {
        return 0;
    }
    try {
        const auto document = vellumark::imaging::OpenScanDocument(FuzzFile());
        for (int page = 0; page < document->PageCount() && page < 16; ++page) {
            const auto shape = document->Shape(page);
            if (std::uint64_t(shape.width) * std::uint64_t(shape.height) > kMaxFuzzPixels)
                continue;
            try {
                (void)document->PagePicture(page, 37 + page % 2 * 100, 53);
                (void)document->Info(page);
            } catch (const vellumark::Error&) {
            }
        }
    } catch (const vellumark::Error&) {
    }
    return 0;
}
