#pragma once
// A scanned document opened from a TIFF, BigTIFF or MDI file.
//
// Threads: a Document may be shared by several threads once opened; every const member is
// safe to call concurrently (each call reads through its own libtiff handle). libtiff's own
// messages are never printed: the first Open silences its process-wide handlers, and each
// handle's messages go into the text of the errors thrown.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Picture.h"
#include "imaging/ScanDocument.h"

namespace vellumark::imaging {

// Pages whose stored width x height exceeds this are refused before decoding (room for an
// A0 sheet at 600 dpi).
constexpr std::uint64_t kMaxPagePixels = 600'000'000;
// Nor may a page be wider or higher than this (the decoder keeps a few rows of floats).
constexpr std::uint32_t kMaxPageSide = 1'000'000;
// Page pictures larger than this, or wider or higher than a JPEG can be, are refused too.
constexpr std::uint64_t kMaxPicturePixels = 64'000'000;
constexpr int kMaxPictureSide = 65500;

// Throws vellumark::Error for a picture of page (0-based) of `path` that would be beyond the
// limits above (TooLarge) or empty (Internal).
void CheckPictureSize(const std::filesystem::path& path, int page, std::int64_t width,
                      std::int64_t height);

class Document final : public ScanDocument {
public:
    // Opens the file and reads its page directory; the file stays open until the Document
    // dies. Throws vellumark::Error: BadInput when the file is missing, a folder, empty, not
    // a TIFF or MDI file, or damaged; Io when it cannot be opened or read; TooLarge for a
    // directory chain longer than any real document.
    static std::unique_ptr<Document> Open(const std::filesystem::path& path);
    // The same from bytes in memory; name is used in messages only.
    static std::unique_ptr<Document> OpenBytes(std::vector<std::uint8_t> bytes,
                                               const std::filesystem::path& name);
    ~Document() override;

    const std::filesystem::path& Path() const override;
    int PageCount() const override;
    // Throws vellumark::Error (Internal) for a page out of range, as do all page functions.
    PageInfo Info(int page) const override;
    // "MDI" for a file named .mdi, "TIFF" otherwise.
    std::string KindName() const override;

    // The page at 96 pixels per inch of its physical size, orientation applied. Thread-safe.
    // Throws vellumark::Error (naming the file and the page): Unsupported for MDI's own codecs,
    // TooLarge for pages beyond the pixel limit, BadInput for damaged data.
    Picture PagePicture(int page) const override;
    // The page resampled to exactly width x height (thumbnails, OCR), orientation applied.
    // Thread-safe. Throws as above; Internal when width or height is below 1, TooLarge when
    // width x height is beyond kMaxPicturePixels.
    Picture PagePicture(int page, int width, int height) const override;
    // A bilevel page of at most kMaxPicturePixels, as bits, orientation applied.
    // Thread-safe. Throws as PagePicture does.
    std::optional<BitPicture> PageBits(int page) const override;
    // The page's own size (as OwnSize) and its kind, from its tags.
    PageShape Shape(int page) const override;
    // As Info gives it.
    std::pair<int, int> PictureSize(int page) const override;
    // Width and height of the page at its own resolution, orientation applied.
    std::pair<int, int> OwnSize(int page) const;

    // OCR text an MDI page stores (tag 37679) as UTF-8; empty when it has none. Thread-safe.
    // Throws vellumark::Error (BadInput) only when the page's directory cannot be read.
    std::string StoredText(int page) const override;
    // The page's resolution from its tags, down and across the page as shown (0 when it has
    // none).
    double Resolution(int page) const override;
    double ResolutionAcross(int page) const override;

private:
    struct Impl;
    explicit Document(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace vellumark::imaging
