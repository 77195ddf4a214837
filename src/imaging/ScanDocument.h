#pragma once
// A scanned document of any kind the program reads: what the window, `info`, `search` and the
// conversions open. Each kind is its own class behind this interface; OpenScanDocument picks
// the kind from the file's contents.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "imaging/PageSource.h"

namespace vellumark::imaging {

// What `vellumark info` prints about a page.
struct PageInfo {
    std::uint32_t width = 0;  // pixels as stored
    std::uint32_t height = 0;
    double xResolution = 0;  // pixels per inch; 0 when the file gives none
    double yResolution = 0;
    int orientation = 1;   // TIFF Orientation tag, 1 to 8
    std::string layout;    // e.g. "bilevel", "grey 8-bit", "palette 8-bit", "RGB 8-bit", "CMYK"
    std::string codec;     // e.g. "none", "CCITT G4", "LZW", "Deflate", "JPEG", "PNG"
    int pictureWidth = 0;  // size of PagePicture(): 96 pixels per inch, orientation applied
    int pictureHeight = 0;
    std::string source;  // where the page is kept within the file (an archive's member); or empty
};

// Threads: as PageSource, every member may be called from several threads at once.
class ScanDocument : public PageSource {
public:
    // The kind of file, as `vellumark info` names it: "TIFF", "JPEG image", "comic archive", ...
    virtual std::string KindName() const = 0;
    // Throws vellumark::Error (Internal) for a page out of range.
    virtual PageInfo Info(int page) const = 0;
};

// Resolution that PDF pages without a scanned image are rendered at, unless asked otherwise.
constexpr int kDefaultRenderDpi = 300;

// Opens the document at path, of whichever kind its contents are: a TIFF, BigTIFF, MDI, PDF or
// DjVu file, a JPEG or PNG page, a folder of such pages, or a comic or page archive (CBZ, CBR,
// CB7, ZIP). PDF pages that are not one scanned image are rendered at renderDpi. Throws
// vellumark::Error: BadInput naming the file when it is none of these, missing, empty or damaged
// (and what each kind refuses besides); Io when it cannot be read.
std::unique_ptr<ScanDocument> OpenScanDocument(const std::filesystem::path& path,
                                               int renderDpi = kDefaultRenderDpi);

}  // namespace vellumark::imaging
