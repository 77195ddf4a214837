#pragma once
// A PDF file. A page that is one scanned image (with at most an invisible text layer over it)
// is read at that image's own pixels: JPEG, CCITT fax and Flate images are decoded here, other
// codings (JBIG2, JPEG 2000, masks) are rendered by poppler at the image's resolution. Every
// other page is rendered by poppler at the resolution asked for. A text layer the file holds
// gives the pages' words.
//
// Threads: every call opens the file afresh (qpdf for images, poppler for rendering and text),
// so calls from several threads do not wait for one another.

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/ScanDocument.h"
#include "imaging/pages/PdfPageContent.h"

namespace vellumark::imaging {

bool LooksLikePdf(std::span<const std::uint8_t> head);

class PdfDocument final : public ScanDocument {
public:
    // Reads every page's size and what it draws. Throws vellumark::Error naming the file:
    // BadInput when it is damaged, has no pages or needs a password; TooLarge for a page beyond
    // kMaxPagePixels at its resolution.
    static std::unique_ptr<PdfDocument> Open(const std::filesystem::path& path,
                                             int renderDpi = kDefaultRenderDpi);

    const std::filesystem::path& Path() const override { return path_; }
    std::string KindName() const override { return "PDF"; }
    int PageCount() const override { return static_cast<int>(pages_.size()); }
    PageShape Shape(int page) const override;
    double Resolution(int page) const override;
    double ResolutionAcross(int page) const override;
    PageInfo Info(int page) const override;
    Picture PagePicture(int page) const override;
    // Throws vellumark::Error: BadInput for damaged page data, TooLarge beyond
    // kMaxPicturePixels.
    Picture PagePicture(int page, int width, int height) const override;
    // A page that is one bilevel image (fax-coded or plain samples), as its bits. Throws as
    // PagePicture does.
    std::optional<BitPicture> PageBits(int page) const override;
    // The words of the file's text layer, in reading order; empty when the page has none.
    std::vector<StoredWord> StoredWords(int page) const override;

private:
    struct PageEntry {
        PageShape shape;
        double dpi = 0;
        double widthPt = 0;  // the crop box as shown (rotation applied)
        double heightPt = 0;
        std::optional<PdfPageImage> image;
        int quarters = 0;  // clockwise quarter turns the file shows its image by
    };
    PdfDocument(std::filesystem::path path, std::vector<PageEntry> pages)
        : path_(std::move(path)),
          pages_(std::move(pages)),
          streams_(std::make_unique<PdfStreams>(path_)) {}
    const PageEntry& EntryOf(int page) const;
    Picture Render(int page, int width, int height) const;
    Picture Decode(int page, int width, int height) const;
    // The image as stored, before the file's quarter turns.
    Picture DecodeStored(int page, int width, int height) const;
    // The page's image as plain samples, and the bytes of each of its rows.
    std::pair<std::vector<std::uint8_t>, std::size_t> Samples(int page) const;

    std::filesystem::path path_;
    std::vector<PageEntry> pages_;
    std::unique_ptr<PdfStreams> streams_;
};

}  // namespace vellumark::imaging
