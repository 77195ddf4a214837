#include "imaging/Document.h"

#include <algorithm>
#include <cctype>

#include "common/Error.h"
#include "imaging/Orientation.h"
#include "imaging/PageLayout.h"
#include "imaging/PageReader.h"
#include "imaging/StoredText.h"
#include "imaging/TiffHandle.h"

namespace vellumark::imaging {
namespace {

// More directories than any scan has; a chain this long is damage or malice.
constexpr std::size_t kMaxPages = 100'000;

std::string PageText(const std::filesystem::path& path, int page) {
    return path.string() + ": page " + std::to_string(page + 1);
}

}  // namespace

void CheckPictureSize(const std::filesystem::path& path, int page, std::int64_t width,
                      std::int64_t height) {
    if (width < 1 || height < 1)
        throw Error(ErrorCode::Internal, PageText(path, page) + ": picture size below 1", path,
                    page);
    if (width > kMaxPictureSide || height > kMaxPictureSide ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPicturePixels)
        throw Error(ErrorCode::TooLarge,
                    PageText(path, page) + " would make a picture of " + std::to_string(width) +
                        " x " + std::to_string(height) + " pixels, more than the limit",
                    path, page);
}

struct Document::Impl {
    std::filesystem::path path;
    std::shared_ptr<const ByteSource> source;
    bool mdi = false;
    std::vector<PageLayout> pages;

    const PageLayout& Page(int page) const {
        if (page < 0 || page >= static_cast<int>(pages.size()))
            throw Error(ErrorCode::Internal,
                        path.string() + ": there is no page " + std::to_string(page + 1), path,
                        page);
        return pages[static_cast<std::size_t>(page)];
    }

    // A handle of its own, on the page's directory: reached by its offset, not by walking the
    // chain, so page n costs the same as page 1.
    std::unique_ptr<TiffHandle> OpenPage(int page) const {
        const PageLayout& layout = Page(page);
        auto handle = std::make_unique<TiffHandle>(source, path, "rhm", mdi);
        if (!TIFFSetSubDirectory(handle->Get(), layout.directoryOffset)) {
            const std::string why = handle->Messages().Text();
            throw Error(ErrorCode::BadInput,
                        PageText(path, page) + ": its directory cannot be read" +
                            (why.empty() ? std::string() : " (" + why + ")"),
                        path, page);
        }
        return handle;
    }

    // Refuses what must not be decoded, before any pixel is.
    void CheckDecodable(int page) const {
        const PageLayout& layout = Page(page);
        if (IsMdiCodec(layout.compression))
            throw Error(ErrorCode::Unsupported,
                        PageText(path, page) + " is compressed with MDI's own codec " +
                            std::to_string(layout.compression) + ", which cannot be read",
                        path, page);
        if (!TIFFIsCODECConfigured(layout.compression))
            throw Error(ErrorCode::Unsupported,
                        PageText(path, page) + " uses " + CodecName(layout.compression) +
                            ", which cannot be read",
                        path, page);
        const std::uint64_t pixels = std::uint64_t{layout.width} * layout.height;
        if (pixels > kMaxPagePixels || layout.width > kMaxPageSide || layout.height > kMaxPageSide)
            throw Error(ErrorCode::TooLarge,
                        PageText(path, page) + " claims " + std::to_string(layout.width) + " x " +
                            std::to_string(layout.height) + " pixels, more than the limit of " +
                            std::to_string(kMaxPagePixels / 1'000'000) + " million",
                        path, page);
    }

    Picture Read(int page, int width, int height) const {
        CheckDecodable(page);
        CheckPictureSize(path, page, width, height);
        const PageLayout& layout = Page(page);
        const bool swap = layout.Transposed();
        auto handle = OpenPage(page);
        Picture stored =
            ReadPage(*handle, layout, swap ? height : width, swap ? width : height, path, page);
        return Upright(std::move(stored), layout.orientation);
    }

    static std::unique_ptr<Impl> Load(std::shared_ptr<const ByteSource> source,
                                      const std::filesystem::path& path) {
        auto impl = std::make_unique<Impl>();
        impl->path = path;
        impl->source = std::move(source);
        const std::uint64_t size = impl->source->Size();
        if (size == 0)
            throw Error(ErrorCode::BadInput, path.string() + " is empty", path);
        std::uint8_t magic[2] = {};
        if (impl->source->ReadAt(0, magic, 2) != 2)
            throw Error(ErrorCode::BadInput, path.string() + " is not a TIFF or MDI file", path);
        impl->mdi = magic[0] == 'E' && magic[1] == 'P';
        const bool tiff =
            (magic[0] == 'I' && magic[1] == 'I') || (magic[0] == 'M' && magic[1] == 'M');
        if (!tiff && !impl->mdi)
            throw Error(ErrorCode::BadInput, path.string() + " is not a TIFF or MDI file", path);

        // Strip and tile tables are not needed to list the pages: 'D' leaves them unread.
        TiffHandle handle(impl->source, path, "rDm", impl->mdi);
        TIFF* tif = handle.Get();
        for (;;) {
            if (impl->pages.size() >= kMaxPages)
                throw Error(
                    ErrorCode::TooLarge,
                    path.string() + " has more than " + std::to_string(kMaxPages) + " pages", path);
            impl->pages.push_back(ReadPageLayout(tif));
            if (TIFFLastDirectory(tif))
                break;
            handle.Messages().Clear();
            if (!TIFFReadDirectory(tif)) {
                const std::string why = handle.Messages().Text();
                throw Error(ErrorCode::BadInput,
                            path.string() + " is damaged: the directory of page " +
                                std::to_string(impl->pages.size() + 1) + " cannot be read" +
                                (why.empty() ? std::string() : " (" + why + ")"),
                            path, static_cast<int>(impl->pages.size()));
            }
        }
        return impl;
    }
};

Document::Document(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Document::~Document() = default;

std::unique_ptr<Document> Document::Open(const std::filesystem::path& path) {
    return std::unique_ptr<Document>(new Document(Impl::Load(OpenFileSource(path), path)));
}

std::unique_ptr<Document> Document::OpenBytes(std::vector<std::uint8_t> bytes,
                                              const std::filesystem::path& name) {
    return std::unique_ptr<Document>(
        new Document(Impl::Load(std::make_shared<const MemorySource>(std::move(bytes)), name)));
}

const std::filesystem::path& Document::Path() const {
    return impl_->path;
}

int Document::PageCount() const {
    return static_cast<int>(impl_->pages.size());
}

std::string Document::KindName() const {
    std::string extension = Path().extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".mdi" ? "MDI" : "TIFF";
}

PageInfo Document::Info(int page) const {
    const PageLayout& layout = impl_->Page(page);
    PageInfo info;
    info.width = layout.width;
    info.height = layout.height;
    info.xResolution = layout.xDpi;
    info.yResolution = layout.yDpi;
    info.orientation = layout.orientation;
    info.layout = LayoutName(layout);
    info.codec = CodecName(layout.compression);
    const std::int64_t w = PictureLength(layout.width, layout.xDpi);
    const std::int64_t h = PictureLength(layout.height, layout.yDpi);
    auto clampInt = [](std::int64_t v) {
        return static_cast<int>(std::min<std::int64_t>(v, INT32_MAX));
    };
    info.pictureWidth = clampInt(layout.Transposed() ? h : w);
    info.pictureHeight = clampInt(layout.Transposed() ? w : h);
    return info;
}

Picture Document::PagePicture(int page) const {
    const PageLayout& layout = impl_->Page(page);
    std::int64_t w = PictureLength(layout.width, layout.xDpi);
    std::int64_t h = PictureLength(layout.height, layout.yDpi);
    if (layout.Transposed())
        std::swap(w, h);
    impl_->CheckDecodable(page);
    CheckPictureSize(impl_->path, page, w, h);
    return impl_->Read(page, static_cast<int>(w), static_cast<int>(h));
}

Picture Document::PagePicture(int page, int width, int height) const {
    return impl_->Read(page, width, height);
}

std::optional<BitPicture> Document::PageBits(int page) const {
    const PageLayout& layout = impl_->Page(page);
    if (std::uint64_t{layout.width} * layout.height > kMaxPicturePixels)
        return std::nullopt;
    impl_->CheckDecodable(page);
    auto handle = impl_->OpenPage(page);
    auto bits = ReadPageBits(*handle, layout, impl_->path, page);
    if (bits)
        *bits = Upright(std::move(*bits), layout.orientation);
    return bits;
}

std::pair<int, int> Document::OwnSize(int page) const {
    const PageLayout& layout = impl_->Page(page);
    const int w = static_cast<int>(std::min<std::uint32_t>(layout.width, INT32_MAX));
    const int h = static_cast<int>(std::min<std::uint32_t>(layout.height, INT32_MAX));
    return layout.Transposed() ? std::pair{h, w} : std::pair{w, h};
}

PageShape Document::Shape(int page) const {
    const PageLayout& layout = impl_->Page(page);
    const auto [width, height] = OwnSize(page);
    return {width, height, KindOf(layout)};
}

std::pair<int, int> Document::PictureSize(int page) const {
    const PageInfo info = Info(page);
    return {info.pictureWidth, info.pictureHeight};
}

double Document::Resolution(int page) const {
    const PageLayout& layout = impl_->Page(page);
    return layout.Transposed() ? layout.xDpi : layout.yDpi;
}

double Document::ResolutionAcross(int page) const {
    const PageLayout& layout = impl_->Page(page);
    return layout.Transposed() ? layout.yDpi : layout.xDpi;
}

std::string Document::StoredText(int page) const {
    auto handle = impl_->OpenPage(page);
    TIFF* tif = handle->Get();
    const TIFFField* field = TIFFFindField(tif, kStoredTextTag, TIFF_ANY);
    if (!field)
        return {};
    // The storage size, not the data type: a damaged file can give a type outside the enum.
    const int width = TIFFFieldSetGetSize(field);
    if ((width != 1 && width != 2) || !TIFFFieldPassCount(field))
        return {};
    std::uint64_t count = 0;
    const void* data = nullptr;
    if (TIFFFieldReadCount(field) == TIFF_VARIABLE2) {
        std::uint32_t n = 0;
        if (!TIFFGetField(tif, kStoredTextTag, &n, &data))
            return {};
        count = n;
    } else {
        std::uint16_t n = 0;
        if (!TIFFGetField(tif, kStoredTextTag, &n, &data))
            return {};
        count = n;
    }
    if (!data || count == 0)
        return {};
    return DecodeStoredText(static_cast<const std::uint8_t*>(data),
                            static_cast<std::size_t>(count * width), width == 2);
}

}  // namespace vellumark::imaging
