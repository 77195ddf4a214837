#pragma once
// A DjVu document (bundled or single page), read with djvulibre: pages at their own resolution,
// and the hidden text layer, where there is one, as the pages' words.
//
// Threads: every call opens the file through its own djvulibre context. Calls from several
// threads are safe, and take turns: djvulibre itself is used by one thread at a time in the
// process, as pages sharing a dictionary of shapes fail to decode otherwise.

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/ScanDocument.h"

namespace vellumark::imaging {

// Whether the file's first bytes are those of a DjVu file.
bool LooksLikeDjvu(std::span<const std::uint8_t> head);

class DjvuDocument final : public ScanDocument {
public:
    // Reads the page directory and every page's size. Throws vellumark::Error naming the file:
    // BadInput when djvulibre cannot read it, TooLarge for a page beyond kMaxPagePixels.
    static std::unique_ptr<DjvuDocument> Open(const std::filesystem::path& path);

    const std::filesystem::path& Path() const override { return path_; }
    std::string KindName() const override { return "DjVu"; }
    int PageCount() const override { return static_cast<int>(pages_.size()); }
    PageShape Shape(int page) const override;
    double Resolution(int page) const override;
    PageInfo Info(int page) const override;
    Picture PagePicture(int page) const override;
    // Rendered by djvulibre at that size. Throws vellumark::Error: BadInput for a damaged page,
    // TooLarge beyond kMaxPicturePixels.
    Picture PagePicture(int page, int width, int height) const override;
    // A bilevel page (shapes alone) at its own size, as bits. Throws as PagePicture does.
    std::optional<BitPicture> PageBits(int page) const override;
    std::vector<StoredWord> StoredWords(int page) const override;

private:
    struct PageEntry {
        PageShape shape;
        int dpi = 0;
        std::string layout;
    };
    DjvuDocument(std::filesystem::path path, std::vector<PageEntry> pages)
        : path_(std::move(path)), pages_(std::move(pages)) {}
    const PageEntry& EntryOf(int page) const;
    enum class Drawn { Bits, Grey, Colour };
    // Draws the whole page at width x height into `out`, rows `rowBytes` apart.
    void Draw(int page, int width, int height, Drawn drawn, std::size_t rowBytes,
              std::uint8_t* out) const;

    std::filesystem::path path_;
    std::vector<PageEntry> pages_;
};

}  // namespace vellumark::imaging
