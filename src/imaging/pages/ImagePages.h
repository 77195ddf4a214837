#pragma once
// A document whose pages are picture files (JPEG, PNG): one image on its own, or the page images
// of a comic or page archive, in the order their names sort naturally (page2 before page10).

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imaging/ScanDocument.h"
#include "imaging/pages/PageImage.h"

namespace vellumark::imaging {

// Where the page images' bytes are kept. Threads: Read may be called from several at once.
class ImageStore {
public:
    virtual ~ImageStore() = default;
    // The pages' names (an archive member's path, a file's name), in page order.
    virtual const std::vector<std::string>& Names() const = 0;
    // The first kImageHeadBytes (or fewer) of every page, in page order; read once, at opening.
    virtual std::vector<std::vector<std::uint8_t>> Heads() const = 0;
    // All of page i's bytes. Throws vellumark::Error: BadInput for damaged data, TooLarge for a
    // page larger than any page image is.
    virtual std::vector<std::uint8_t> Read(int i) const = 0;
    // True when the store is one image file, whose name the document's path already says.
    virtual bool OneFile() const { return false; }
};

// A page image may be at most this large, packed (a bomb in an archive is refused with it).
constexpr std::uint64_t kMaxImageBytes = std::uint64_t{256} << 20;

class ImagePages final : public ScanDocument {
public:
    // Reads every page's header. Throws vellumark::Error naming path: BadInput when a page is
    // not a JPEG or PNG or its header is damaged, Unsupported for kinds it cannot decode.
    ImagePages(std::filesystem::path path, std::string kindName,
               std::unique_ptr<const ImageStore> store);

    const std::filesystem::path& Path() const override { return path_; }
    std::string KindName() const override { return kindName_; }
    int PageCount() const override { return static_cast<int>(headers_.size()); }
    PageShape Shape(int page) const override;
    double Resolution(int page) const override;
    double ResolutionAcross(int page) const override;
    PageInfo Info(int page) const override;
    Picture PagePicture(int page) const override;
    Picture PagePicture(int page, int width, int height) const override;
    // A bilevel PNG page gives its bits (a PNG is never stored turned).
    std::optional<BitPicture> PageBits(int page) const override;

private:
    const ImageHeader& HeaderOf(int page) const;
    // The page as messages name it: the file, and the member within it.
    std::string PageName(std::size_t page) const;

    std::filesystem::path path_;
    std::string kindName_;
    std::unique_ptr<const ImageStore> store_;
    std::vector<ImageHeader> headers_;
};

// A store of one image file.
std::unique_ptr<const ImageStore> SingleImageStore(const std::filesystem::path& path);

// Whether the name is that of a page image (.jpg, .jpeg, .png, any case).
bool IsPageImageName(const std::filesystem::path& name);
// Whether a folder of page images passes the file over: hidden files and a viewer's Thumbs.db.
bool IsPassedOverInFolder(const std::filesystem::path& name);

// A store of the page images in a folder (not its sub-folders), in natural order. Throws
// vellumark::Error naming the folder: BadInput when it holds a file of another kind or none at
// all, Io when it cannot be read.
std::unique_ptr<const ImageStore> FolderImageStore(const std::filesystem::path& folder);

// Natural order: runs of digits compare by their value, so "page2" comes before "page10";
// otherwise as the bytes compare, case ignored.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace vellumark::imaging
