#include "imaging/ScanDocument.h"

#include <cctype>
#include <fstream>

#include "common/Error.h"
#include "imaging/Document.h"
#include "imaging/pages/ArchiveImages.h"
#include "imaging/pages/DjvuDocument.h"
#include "imaging/pages/ImagePages.h"
#include "imaging/pages/PdfDocument.h"

namespace vellumark::imaging {
namespace {

std::string LowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace

std::unique_ptr<ScanDocument> OpenScanDocument(const std::filesystem::path& path, int renderDpi) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return std::make_unique<ImagePages>(path, "image folder", FolderImageStore(path));
    if (std::filesystem::is_regular_file(path, ec)) {
        // Named for any kind, an empty file is none: said plainly, not as a damaged PDF.
        if (std::filesystem::file_size(path, ec) == 0 && !ec)
            throw Error(ErrorCode::BadInput, path.string() + " is empty", path);
        std::uint8_t head[8] = {};
        std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(head), sizeof head);
        if (head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
            return std::make_unique<ImagePages>(path, "JPEG image", SingleImageStore(path));
        if (head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G')
            return std::make_unique<ImagePages>(path, "PNG image", SingleImageStore(path));
        if (LooksLikePdf(head) || LowerExtension(path) == ".pdf")
            return PdfDocument::Open(path, renderDpi);
        if (LooksLikeDjvu(head))
            return DjvuDocument::Open(path);
        if (LooksLikeArchive(head)) {
            const std::string extension = LowerExtension(path);
            const bool comic = extension == ".cbz" || extension == ".cbr" || extension == ".cb7";
            return std::make_unique<ImagePages>(path, comic ? "comic archive" : "page archive",
                                                OpenArchiveImages(path));
        }
    }
    // Everything else is a TIFF or MDI file, or says why it is none.
    return Document::Open(path);
}

}  // namespace vellumark::imaging
