#pragma once
// A scanned document opened from a TIFF, BigTIFF or MDI file.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imaging/PageSource.h"
#include "imaging/Picture.h"

namespace vellumark::imaging {

// What `vellumark info` prints about a page.
struct PageInfo {
    std::uint32_t width = 0;   // pixels as stored
    std::uint32_t height = 0;
    double xResolution = 0;    // pixels per inch; 0 when the file gives none
    double yResolution = 0;
    int orientation = 1;       // TIFF Orientation tag, 1 to 8
    std::string layout;        // e.g. "bilevel", "grey 8-bit", "palette 8-bit", "RGB 8-bit", "CMYK"
    std::string codec;         // e.g. "none", "CCITT G4", "LZW", "Deflate", "JPEG"
    int pictureWidth = 0;      // size of PagePicture(): 96 pixels per inch, orientation applied
    int pictureHeight = 0;
};

class Document final : public PageSource {
public:
    // Opens the file and reads its page directory. Throws vellumark::Error: Io when the file
    // cannot be read, BadInput when it is not a TIFF or MDI file or is damaged.
    static std::unique_ptr<Document> Open(const std::filesystem::path& path);
    ~Document() override;

    const std::filesystem::path& Path() const;
    int PageCount() const override;
    PageInfo Info(int page) const;

    // The page at 96 pixels per inch of its physical size, orientation applied. Thread-safe.
    // Throws vellumark::Error (naming the file and the page): Unsupported for MDI's own codecs,
    // TooLarge for pages beyond the pixel limit, BadInput for damaged data.
    Picture PagePicture(int page) const override;
    // The page resampled to exactly width x height (thumbnails, OCR). Thread-safe.
    Picture PagePicture(int page, int width, int height) const;
    // Width and height of the page at its own resolution, orientation applied.
    std::pair<int, int> OwnSize(int page) const;

    // OCR text an MDI page stores (tag 37679) as UTF-8; empty when it has none.
    std::string StoredText(int page) const;

private:
    struct Impl;
    explicit Document(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace vellumark::imaging
