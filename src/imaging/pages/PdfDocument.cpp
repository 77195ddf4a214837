#include "imaging/pages/PdfDocument.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

#include "common/Error.h"
#include "imaging/Document.h"
#include "imaging/Resampler.h"
#include "imaging/cleanup/Turn.h"
#include "imaging/pages/FaxImage.h"
#include "imaging/pages/ImagePages.h"
#include "imaging/pages/PageImage.h"

namespace vellumark::imaging {
namespace {

// poppler reports what it finds wrong on stderr; our errors say it once, naming the file.
void SilencePoppler() {
    static std::once_flag once;
    std::call_once(
        once, [] { poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr); });
}

std::unique_ptr<poppler::document> LoadPoppler(const std::filesystem::path& path) {
    SilencePoppler();
    std::unique_ptr<poppler::document> document(poppler::document::load_from_file(path.string()));
    if (!document)
        FailPdf(path, "damaged or not a PDF file that can be read");
    if (document->is_locked())
        FailPdf(path, "the PDF is protected by a password");
    return document;
}

std::unique_ptr<poppler::page> LoadPage(const poppler::document& document,
                                        const std::filesystem::path& path, int page) {
    std::unique_ptr<poppler::page> loaded(document.create_page(page));
    if (!loaded)
        FailPdf(path, "the page cannot be read", page);
    return loaded;
}

int Quarter(poppler::page::orientation_enum orientation) {
    switch (orientation) {
        case poppler::page::landscape:
            return 1;
        case poppler::page::upside_down:
            return 2;
        case poppler::page::seascape:
            return 3;
        default:
            return 0;
    }
}

int Pixels(double points, double dpi) {
    return std::max(1, static_cast<int>(std::lround(points * dpi / 72.0)));
}

}  // namespace

bool LooksLikePdf(std::span<const std::uint8_t> head) {
    return head.size() >= 5 && std::memcmp(head.data(), "%PDF-", 5) == 0;
}

std::unique_ptr<PdfDocument> PdfDocument::Open(const std::filesystem::path& path, int renderDpi) {
    const std::unique_ptr<poppler::document> document = LoadPoppler(path);
    const int count = document->pages();
    if (count < 1)
        FailPdf(path, "the document has no pages");
    std::vector<std::optional<PdfPageImage>> images = FindPageImages(path);
    std::vector<PageEntry> pages;
    for (int page = 0; page < count; ++page) {
        const std::unique_ptr<poppler::page> loaded = LoadPage(*document, path, page);
        const poppler::rectf box = loaded->page_rect(poppler::crop_box);
        const int quarter = Quarter(loaded->orientation());
        const bool turned = quarter % 2 != 0;
        if (!(box.width() > 0) || !(box.height() > 0))
            FailPdf(path, "the page has no size", page);
        PageEntry entry;
        entry.widthPt = turned ? box.height() : box.width();
        entry.heightPt = turned ? box.width() : box.height();
        entry.dpi = renderDpi;
        // Where qpdf and poppler count the pages differently, every page is rendered.
        if (images.size() == static_cast<std::size_t>(count))
            entry.image = std::move(images[static_cast<std::size_t>(page)]);
        if (entry.image) {
            // A page the file turns shows its image turned: decoded, it is turned by quarters;
            // drawn by poppler, at the image's resolution down the page as shown.
            entry.quarters = quarter;
            entry.dpi = turned ? entry.image->xDpi : entry.image->yDpi;
        }
        const bool own = entry.image && entry.image->coding != PdfImageCoding::Rendered;
        entry.shape.width = !own     ? Pixels(entry.widthPt, entry.dpi)
                            : turned ? entry.image->height
                                     : entry.image->width;
        entry.shape.height = !own     ? Pixels(entry.heightPt, entry.dpi)
                             : turned ? entry.image->width
                                      : entry.image->height;
        entry.shape.kind = entry.image ? entry.image->kind : PageKind::Colour;
        if (std::uint64_t(entry.shape.width) * std::uint64_t(entry.shape.height) > kMaxPagePixels)
            throw Error(ErrorCode::TooLarge,
                        path.string() + ": page " + std::to_string(page + 1) +
                            ": more pixels than any scanned page",
                        path, page);
        pages.push_back(std::move(entry));
    }
    return std::unique_ptr<PdfDocument>(new PdfDocument(path, std::move(pages)));
}

const PdfDocument::PageEntry& PdfDocument::EntryOf(int page) const {
    if (page < 0 || page >= PageCount())
        throw Error(ErrorCode::Internal, "no page " + std::to_string(page + 1), path_);
    return pages_[static_cast<std::size_t>(page)];
}

PageShape PdfDocument::Shape(int page) const {
    return EntryOf(page).shape;
}

double PdfDocument::Resolution(int page) const {
    return EntryOf(page).dpi;
}

double PdfDocument::ResolutionAcross(int page) const {
    const PageEntry& entry = EntryOf(page);
    // A page poppler draws is drawn at one resolution both ways.
    if (!entry.image || entry.image->coding == PdfImageCoding::Rendered)
        return entry.dpi;
    const double across = entry.quarters % 2 != 0 ? entry.image->yDpi : entry.image->xDpi;
    // Within a percent the pixels are square: the two figures are worked out from the image's
    // placement on the page, and differ in their last digits.
    return std::abs(across / entry.dpi - 1) > 0.01 ? across : entry.dpi;
}

PageInfo PdfDocument::Info(int page) const {
    const PageEntry& entry = EntryOf(page);
    PageInfo info;
    info.width = static_cast<std::uint32_t>(entry.shape.width);
    info.height = static_cast<std::uint32_t>(entry.shape.height);
    info.xResolution = ResolutionAcross(page);
    info.yResolution = entry.dpi;
    info.layout = entry.image ? entry.image->layout : "RGB 8-bit";
    info.codec = entry.image ? entry.image->codec : "PDF drawing";
    const std::string dpi = std::to_string(static_cast<int>(std::lround(entry.dpi))) + " dpi";
    if (!entry.image)
        info.source = "rendering at " + dpi;
    else if (entry.image->coding == PdfImageCoding::Rendered)
        info.source = "its image, rendered at " + dpi;
    else if (entry.quarters != 0)
        info.source = "its image, turned as the file shows it";
    else
        info.source = "its image";
    const auto [width, height] = PictureSize(page);
    info.pictureWidth = width;
    info.pictureHeight = height;
    return info;
}

Picture PdfDocument::PagePicture(int page) const {
    const auto [width, height] = PictureSize(page);
    return PagePicture(page, width, height);
}

Picture PdfDocument::PagePicture(int page, int width, int height) const {
    const PageEntry& entry = EntryOf(page);
    if (width < 1 || height < 1)
        throw Error(ErrorCode::Internal, "cannot make an empty picture");
    if (std::uint64_t(width) * std::uint64_t(height) > kMaxPicturePixels)
        throw Error(ErrorCode::TooLarge, path_.string() + ": the page picture is too large", path_,
                    page);
    if (entry.image && entry.image->coding != PdfImageCoding::Rendered)
        return Decode(page, width, height);
    return Render(page, width, height);
}

std::pair<std::vector<std::uint8_t>, std::size_t> PdfDocument::Samples(int page) const {
    const PdfPageImage& image = *EntryOf(page).image;
    const std::size_t rowBytes = image.bits == 1
                                     ? (static_cast<std::size_t>(image.width) + 7) / 8
                                     : static_cast<std::size_t>(image.width) * image.channels;
    const std::size_t size = rowBytes * static_cast<std::size_t>(image.height);
    std::vector<std::uint8_t> bytes = streams_->Read(page, image, true, size);
    if (bytes.size() < size)
        FailPdf(path_, "the page's image data is damaged or cut short", page);
    return {std::move(bytes), rowBytes};
}

std::optional<BitPicture> PdfDocument::PageBits(int page) const {
    const PageEntry& entry = EntryOf(page);
    if (!entry.image ||
        std::uint64_t(entry.image->width) * std::uint64_t(entry.image->height) > kMaxPicturePixels)
        return std::nullopt;
    const PdfPageImage& image = *entry.image;
    // The bits must be the page's own pixels, as Shape gives them once turned.
    std::optional<BitPicture> bits;
    if (image.coding == PdfImageCoding::Fax && image.fax.columns == image.width &&
        image.fax.rows == image.height) {
        bits = DecodeFaxBits(streams_->Read(page, image, false, std::size_t{kMaxImageBytes}),
                             image.fax, path_.string() + ": page " + std::to_string(page + 1));
    } else if (image.coding == PdfImageCoding::Samples && image.bits == 1 && image.channels == 1) {
        const auto [bytes, rowBytes] = Samples(page);
        bits.emplace(image.width, image.height);
        for (int y = 0; y < image.height; ++y)
            SetBitsRow(*bits, y, bytes.data() + rowBytes * static_cast<std::size_t>(y),
                       image.oneIsBlack);
    }
    if (bits && entry.quarters != 0)
        *bits = TurnQuarters(std::move(*bits), entry.quarters);
    return bits;
}

Picture PdfDocument::Decode(int page, int width, int height) const {
    const int quarters = EntryOf(page).quarters;
    if (quarters == 0)
        return DecodeStored(page, width, height);
    return quarters % 2 != 0 ? TurnQuarters(DecodeStored(page, height, width), quarters)
                             : TurnQuarters(DecodeStored(page, width, height), quarters);
}

Picture PdfDocument::DecodeStored(int page, int width, int height) const {
    const PdfPageImage& image = *EntryOf(page).image;
    const std::string name = path_.string() + ": page " + std::to_string(page + 1);
    if (image.coding == PdfImageCoding::Jpeg) {
        const std::vector<std::uint8_t> bytes =
            streams_->Read(page, image, false, std::size_t{kMaxImageBytes});
        const std::optional<ImageHeader> header = ReadImageHeader(bytes, name);
        if (!header || header->width != image.width || header->height != image.height)
            FailPdf(path_, "the page's JPEG does not match its description", page);
        return DecodeImage(bytes, *header, width, height, name);
    }
    if (image.coding == PdfImageCoding::Fax)
        return DecodeFaxImage(streams_->Read(page, image, false, std::size_t{kMaxImageBytes}),
                              image.fax, width, height, name);

    const auto [bytes, rowBytes] = Samples(page);
    Resampler resampler(image.width, image.height, width, height, image.channels);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* row = bytes.data() + rowBytes * static_cast<std::size_t>(y);
        if (image.bits == 1)
            resampler.AddBitsRow(row, image.oneIsBlack);
        else
            resampler.AddRow(row);
    }
    return resampler.Finish();
}

Picture PdfDocument::Render(int page, int width, int height) const {
    const PageEntry& entry = EntryOf(page);
    const std::unique_ptr<poppler::document> document = LoadPoppler(path_);
    const std::unique_ptr<poppler::page> loaded = LoadPage(*document, path_, page);
    const bool grey = entry.shape.kind != PageKind::Colour;
    poppler::page_renderer renderer;
    renderer.set_render_hints(poppler::page_renderer::antialiasing |
                              poppler::page_renderer::text_antialiasing);
    renderer.set_image_format(grey ? poppler::image::format_gray8 : poppler::image::format_bgr24);
    const poppler::image image = renderer.render_page(loaded.get(), 72.0 * width / entry.widthPt,
                                                      72.0 * height / entry.heightPt);
    if (!image.is_valid())
        FailPdf(path_, "the page cannot be drawn", page);

    // poppler's size is the page's rounded its own way: a pixel over is cut, one short is paper.
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.channels = grey ? 1 : 3;
    picture.samples.assign(picture.RowBytes() * static_cast<std::size_t>(height), 255);
    const int rows = std::min(height, image.height());
    const int columns = std::min(width, image.width());
    for (int y = 0; y < rows; ++y) {
        const auto* from = reinterpret_cast<const std::uint8_t*>(image.const_data()) +
                           static_cast<std::size_t>(y) * image.bytes_per_row();
        std::uint8_t* to = picture.Row(y);
        if (grey) {
            std::memcpy(to, from, static_cast<std::size_t>(columns));
            continue;
        }
        for (int x = 0; x < columns; ++x, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return picture;
}

std::vector<StoredWord> PdfDocument::StoredWords(int page) const {
    const PageEntry& entry = EntryOf(page);
    const std::unique_ptr<poppler::document> document = LoadPoppler(path_);
    const std::unique_ptr<poppler::page> loaded = LoadPage(*document, path_, page);
    // poppler gives the words in reading order, in points from the shown page's top left.
    const double sx = entry.shape.width / entry.widthPt;
    const double sy = entry.shape.height / entry.heightPt;
    std::vector<StoredWord> words;
    int block = 0, line = 0;
    double lineTop = 0, lineBottom = 0, lastLeft = 0;
    for (const poppler::text_box& box : loaded->text_list()) {
        const poppler::byte_array utf8 = box.text().to_utf8();
        std::string text(utf8.begin(), utf8.end());
        const auto first = text.find_first_not_of(" \t\r\n");
        if (first == std::string::npos)
            continue;
        text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
        const poppler::rectf r = box.bbox();
        const double top = r.y() * sy, bottom = (r.y() + r.height()) * sy;
        const double left = r.x() * sx, right = (r.x() + r.width()) * sx;
        if (!words.empty()) {
            const double middle = (top + bottom) / 2;
            // A word beside the last one's middle, and not back to the left, is on its line.
            if (middle < lineTop || middle > lineBottom || left < lastLeft) {
                // A gap of more than a line's height starts a new block.
                if (top - lineBottom > lineBottom - lineTop)
                    ++block;
                ++line;
                lineTop = top;
                lineBottom = bottom;
            }
        } else {
            lineTop = top;
            lineBottom = bottom;
        }
        lastLeft = left;
        StoredWord word;
        word.text = std::move(text);
        word.left = std::clamp(static_cast<int>(std::floor(left)), 0, entry.shape.width - 1);
        word.top = std::clamp(static_cast<int>(std::floor(top)), 0, entry.shape.height - 1);
        word.width = std::max(
            1, std::min(static_cast<int>(std::ceil(right)), entry.shape.width) - word.left);
        word.height = std::max(
            1, std::min(static_cast<int>(std::ceil(bottom)), entry.shape.height) - word.top);
        word.block = block;
        word.line = line;
        words.push_back(std::move(word));
    }
    return words;
}

}  // namespace vellumark::imaging
