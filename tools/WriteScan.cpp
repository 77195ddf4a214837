#include <tiffio.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <system_error>

#include "common/Error.h"
#include "tools/SampleScan.h"

namespace vellumark::tools {
namespace {

constexpr ttag_t kStoredTextTag = 37679;

TIFFExtendProc previousExtender = nullptr;

// Only files this thread writes learn the tag: readers in the same process (tests) must see
// files exactly as the product does.
thread_local bool writing = false;

// Teaches libtiff the stored-text tag so that TIFFSetField accepts it. libtiff forgets merged
// fields with each new directory, so this runs for every page.
void ExtendTags(TIFF* tiff) {
    static const TIFFFieldInfo fields[] = {
        {kStoredTextTag, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_BYTE, FIELD_CUSTOM, 1, 1,
         const_cast<char*>("StoredText")},
    };
    if (writing)
        TIFFMergeFieldInfo(tiff, fields, 1);
    if (previousExtender != nullptr)
        previousExtender(tiff);
}

struct WritingScope {
    WritingScope() { writing = true; }
    ~WritingScope() { writing = false; }
};

void RegisterTags() {
    static std::once_flag once;
    std::call_once(once, [] { previousExtender = TIFFSetTagExtender(ExtendTags); });
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// Removes the temporary file unless the write was completed.
struct TempFile {
    std::filesystem::path path;
    bool keep = false;
    ~TempFile() {
        if (!keep) {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
        }
    }
};

void WritePages(TIFF* tiff, const std::vector<BilevelPage>& pages, const WriteOptions& options,
                const std::filesystem::path& path) {
    const auto count = static_cast<uint16_t>(pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const BilevelPage& page = pages[i];
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.height));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(page.height));
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION,
                     static_cast<float>(options.dpiAcross > 0 ? options.dpiAcross : options.dpi));
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(options.dpi));
        TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(i), count);
        if (options.orientation != 1)
            TIFFSetField(tiff, TIFFTAG_ORIENTATION, static_cast<uint16_t>(options.orientation));
        if (i < options.storedText.size() && options.storedText[i]) {
            const std::string& text = *options.storedText[i];
            TIFFSetField(tiff, kStoredTextTag, static_cast<uint32_t>(text.size()), text.data());
        }
        const auto size = static_cast<tmsize_t>(page.bits.size());
        // libtiff wants a writable buffer even though it only reads it.
        std::vector<std::uint8_t> strip(page.bits);
        if (TIFFWriteEncodedStrip(tiff, 0, strip.data(), size) != size ||
            !TIFFWriteDirectory(tiff)) {
            throw Error(ErrorCode::Io, "cannot write page " + std::to_string(i + 1), path,
                        static_cast<int>(i));
        }
    }
}

}  // namespace

void WriteScan(const std::filesystem::path& path, const std::vector<BilevelPage>& pages,
               const WriteOptions& options) {
    if (pages.empty())
        throw Error(ErrorCode::Usage, "a scan needs at least one page", path);
    for (const BilevelPage& page : pages) {
        if (page.width <= 0 || page.height <= 0 ||
            page.bits.size() != static_cast<std::size_t>(page.Stride()) * page.height) {
            throw Error(ErrorCode::Usage, "a page's bits do not match its size", path);
        }
    }
    RegisterTags();
    const WritingScope scope;
    TempFile temp{path.parent_path() / (path.filename().string() + ".part")};
    {
        std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(temp.path.c_str(), "wl"));
        if (!tiff)
            throw Error(ErrorCode::Io, "cannot create " + path.string(), path);
        WritePages(tiff.get(), pages, options, path);
    }
    if (options.mdi) {
        std::fstream file(temp.path, std::ios::in | std::ios::out | std::ios::binary);
        file.write("EP", 2);
        if (!file)
            throw Error(ErrorCode::Io, "cannot write " + path.string(), path);
    }
    std::error_code error;
    std::filesystem::rename(temp.path, path, error);
    if (error)
        throw Error(ErrorCode::Io, "cannot create " + path.string() + ": " + error.message(), path);
    temp.keep = true;
}

}  // namespace vellumark::tools
