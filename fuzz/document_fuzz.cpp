// Opens arbitrary bytes as a scanned document and decodes every page's picture: whatever the
// bytes, the only way out must be a vellumark::Error (no crash, leak, hang or huge allocation).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Error.h"
#include "imaging/Document.h"

namespace {

// Bigger pages are legal but decode for seconds; the fuzzer learns nothing more from them.
constexpr std::uint64_t kMaxFuzzPixels = 4'000'000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vellumark::imaging::Document;
    try {
        const auto document =
            Document::OpenBytes(std::vector<std::uint8_t>(data, data + size), "fuzz.tif");
        for (int page = 0; page < document->PageCount() && page < 16; ++page) {
            const auto info = document->Info(page);
            if (std::uint64_t{info.width} * info.height > kMaxFuzzPixels)
                continue;
            try {
                // Alternate the two picture calls so both sizing paths are explored.
                if (page % 2 == 0)
                    (void)document->PagePicture(page);
                else
                    (void)document->PagePicture(page, 37, 53);
                (void)document->StoredText(page);
            } catch (const vellumark::Error&) {
            }
        }
    } catch (const vellumark::Error&) {
    }
    return 0;
}
