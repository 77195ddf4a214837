#include "imaging/pages/ImagePages.h"

#include <algorithm>
#include <cctype>
#include <fstream>

#include "common/Error.h"
#include "imaging/Document.h"
#include "imaging/Orientation.h"
#include "imaging/PageLayout.h"

namespace vellumark::imaging {
namespace {

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path, std::uint64_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error(ErrorCode::Io, path.string() + ": cannot be read", path);
    std::error_code ec;
    const std::uint64_t size = std::filesystem::file_size(path, ec);
    if (ec)
        throw Error(ErrorCode::Io, path.string() + ": cannot be read", path);
    if (size > kMaxImageBytes)
        throw Error(ErrorCode::TooLarge, path.string() + ": the image file is too large", path);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(size, limit)));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::size_t>(in.gcount()) != bytes.size())
        throw Error(ErrorCode::Io, path.string() + ": cannot be read", path);
    return bytes;
}

class SingleImage final : public ImageStore {
public:
    explicit SingleImage(std::filesystem::path path)
        : path_(std::move(path)), names_{path_.filename().string()} {}
    const std::vector<std::string>& Names() const override { return names_; }
    std::vector<std::vector<std::uint8_t>> Heads() const override {
        return {ReadFileBytes(path_, kImageHeadBytes)};
    }
    std::vector<std::uint8_t> Read(int) const override {
        return ReadFileBytes(path_, kMaxImageBytes);
    }
    bool OneFile() const override { return true; }

private:
    std::filesystem::path path_;
    std::vector<std::string> names_;
};

// The page images of a folder, each read from its own file.
class FolderImages final : public ImageStore {
public:
    explicit FolderImages(std::filesystem::path folder) : folder_(std::move(folder)) {
        std::error_code ec;
        std::filesystem::directory_iterator it(folder_, ec);
        if (ec)
            throw Error(ErrorCode::Io, folder_.string() + ": the folder cannot be read", folder_);
        for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
            const std::filesystem::path name = it->path().filename();
            std::error_code typeError;
            if (it->is_directory(typeError) || IsPassedOverInFolder(name))
                continue;
            if (!IsPageImageName(name) || !it->is_regular_file(typeError))
                throw Error(
                    ErrorCode::BadInput,
                    folder_.string() + ": a file is not a JPEG or PNG page image: " + name.string(),
                    folder_);
            names_.push_back(name.string());
        }
        if (ec)
            throw Error(ErrorCode::Io, folder_.string() + ": the folder cannot be read", folder_);
        std::sort(names_.begin(), names_.end(), NaturalLess);
    }
    const std::vector<std::string>& Names() const override { return names_; }
    std::vector<std::vector<std::uint8_t>> Heads() const override {
        std::vector<std::vector<std::uint8_t>> heads;
        for (const std::string& name : names_)
            heads.push_back(ReadFileBytes(folder_ / name, kImageHeadBytes));
        return heads;
    }
    std::vector<std::uint8_t> Read(int i) const override {
        return ReadFileBytes(folder_ / names_.at(static_cast<std::size_t>(i)), kMaxImageBytes);
    }

private:
    std::filesystem::path folder_;
    std::vector<std::string> names_;
};

std::string LowerName(const std::filesystem::path& name) {
    std::string text = name.filename().string();
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool IsPageImageName(const std::filesystem::path& name) {
    const std::string lower = LowerName(name);
    return lower.ends_with(".jpg") || lower.ends_with(".jpeg") || lower.ends_with(".png");
}

bool IsPassedOverInFolder(const std::filesystem::path& name) {
    const std::string lower = LowerName(name);
    return lower.starts_with('.') || lower == "thumbs.db";
}

std::unique_ptr<const ImageStore> FolderImageStore(const std::filesystem::path& folder) {
    return std::make_unique<FolderImages>(folder);
}

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[j]);
        if (std::isdigit(ca) && std::isdigit(cb)) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            // Compare the runs' values: leading zeros off, then length, then digits.
            std::size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            const int order = a.compare(si, ei - si, b, sj, ej - sj);
            if (order != 0)
                return order < 0;
            i = ei;
            j = ej;
            continue;
        }
        const int la = std::tolower(ca), lb = std::tolower(cb);
        if (la != lb)
            return la < lb;
        ++i;
        ++j;
    }
    if ((i < a.size()) != (j < b.size()))
        return i >= a.size();
    return a < b;  // equal but for case or zeros: still one order
}

ImagePages::ImagePages(std::filesystem::path path, std::string kindName,
                       std::unique_ptr<const ImageStore> store)
    : path_(std::move(path)), kindName_(std::move(kindName)), store_(std::move(store)) {
    const std::vector<std::vector<std::uint8_t>> heads = store_->Heads();
    for (std::size_t i = 0; i < heads.size(); ++i) {
        const std::string name = PageName(i);
        std::optional<ImageHeader> header = ReadImageHeader(heads[i], name);
        if (!header)
            throw Error(ErrorCode::BadInput, name + ": not a JPEG or PNG image, or damaged", path_,
                        static_cast<int>(i));
        headers_.push_back(std::move(*header));
    }
    if (headers_.empty())
        throw Error(ErrorCode::BadInput, path_.string() + ": holds no page images", path_);
}

std::string ImagePages::PageName(std::size_t page) const {
    return store_->OneFile() ? path_.string() : path_.string() + ": " + store_->Names()[page];
}

const ImageHeader& ImagePages::HeaderOf(int page) const {
    if (page < 0 || page >= PageCount())
        throw Error(ErrorCode::Internal, "no page " + std::to_string(page + 1), path_);
    return headers_[static_cast<std::size_t>(page)];
}

PageShape ImagePages::Shape(int page) const {
    const ImageHeader& header = HeaderOf(page);
    const bool turned = header.orientation >= 5;  // a quarter turn either way
    return {turned ? header.height : header.width, turned ? header.width : header.height,
            header.kind};
}

double ImagePages::Resolution(int page) const {
    const ImageHeader& header = HeaderOf(page);
    return header.orientation >= 5 ? header.dpiAcross : header.dpi;
}

double ImagePages::ResolutionAcross(int page) const {
    const ImageHeader& header = HeaderOf(page);
    return header.orientation >= 5 ? header.dpi : header.dpiAcross;
}

PageInfo ImagePages::Info(int page) const {
    const ImageHeader& header = HeaderOf(page);
    PageInfo info;
    info.width = static_cast<std::uint32_t>(header.width);
    info.height = static_cast<std::uint32_t>(header.height);
    info.xResolution = header.dpiAcross;
    info.yResolution = header.dpi;
    info.layout = header.layout;
    info.orientation = header.orientation;
    info.codec = header.codec == ImageCodec::Jpeg ? "JPEG" : "PNG";
    const auto [width, height] = PictureSize(page);
    info.pictureWidth = width;
    info.pictureHeight = height;
    info.source = store_->Names()[static_cast<std::size_t>(page)];
    return info;
}

Picture ImagePages::PagePicture(int page) const {
    const auto [width, height] = PictureSize(page);
    return PagePicture(page, width, height);
}

Picture ImagePages::PagePicture(int page, int width, int height) const {
    const ImageHeader& header = HeaderOf(page);
    if (std::uint64_t{static_cast<std::uint32_t>(width)} * static_cast<std::uint32_t>(height) >
        kMaxPicturePixels)
        throw Error(ErrorCode::TooLarge, path_.string() + ": the page picture is too large", path_,
                    page);
    try {
        const bool turned = header.orientation >= 5;
        return Upright(
            DecodeImage(store_->Read(page), header, turned ? height : width,
                        turned ? width : height, PageName(static_cast<std::size_t>(page))),
            header.orientation);
    } catch (const Error& e) {
        throw Error(e.Code(), e.what(), path_, page);
    }
}

std::optional<BitPicture> ImagePages::PageBits(int page) const {
    const ImageHeader& header = HeaderOf(page);
    if (header.kind != PageKind::Bilevel)
        return std::nullopt;
    try {
        return DecodeImageBits(store_->Read(page), header,
                               PageName(static_cast<std::size_t>(page)));
    } catch (const Error& e) {
        throw Error(e.Code(), e.what(), path_, page);
    }
}

std::unique_ptr<const ImageStore> SingleImageStore(const std::filesystem::path& path) {
    return std::make_unique<SingleImage>(path);
}

}  // namespace vellumark::imaging
