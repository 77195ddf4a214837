#pragma once
// The body of the fuzz targets that open arbitrary bytes as a scan file: the bytes are written
// to a file (as the program reads these kinds from files), opened, and every page's picture,
// bits, information and stored words are asked for. Whatever the bytes, the only way out must
// be a vellumark::Error (no crash, leak, hang or huge allocation).

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/Error.h"
#include "imaging/ScanDocument.h"

namespace vellumark::fuzz {

// Bigger pages are legal but decode for seconds; the fuzzer learns nothing more from them.
constexpr std::uint64_t kMaxFuzzPixels = 4'000'000;

// One file for the run, rewritten for every input and removed at its end.
struct FuzzFileName {
    std::string path;
    ~FuzzFileName() { std::remove(path.c_str()); }
};

inline int FuzzScanFile(const std::uint8_t* data, std::size_t size, const char* extension) {
    static const FuzzFileName file{"/tmp/vellumark-fuzz-" + std::to_string(getpid()) + extension};
    if (std::FILE* out = std::fopen(file.path.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    } else {
        return 0;
    }
    try {
        // A low resolution keeps drawn pages small.
        const auto document = imaging::OpenScanDocument(file.path, 50);
        for (int page = 0; page < document->PageCount() && page < 16; ++page) {
            const auto shape = document->Shape(page);
            if (std::uint64_t(shape.width) * std::uint64_t(shape.height) > kMaxFuzzPixels)
                continue;
            try {
                (void)document->PagePicture(page, 37 + page % 2 * 100, 53);
                (void)document->PageBits(page);
                (void)document->Info(page);
                (void)document->StoredWords(page);
            } catch (const Error&) {
            }
        }
    } catch (const Error&) {
    }
    return 0;
}

}  // namespace vellumark::fuzz
