// Documents whose pages are picture files: single JPEG and PNG pages and comic archives, read
// in natural order with their own pixels, and the archives that are refused.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "TestTiff.h"
#include "common/Error.h"
#include "imaging/Jpeg.h"
#include "imaging/Png.h"
#include "imaging/ScanDocument.h"
#include "imaging/pages/ImagePages.h"

namespace vellumark::imaging {
namespace {
namespace fs = std::filesystem;
using testing::TempFolder;

// A grey page with a gradient and a dark block, so that order and pixels can be told apart.
GreyPicture GreyPage(int width, int height, int mark) {
    GreyPicture page{width, height, std::vector<std::uint8_t>(std::size_t(width) * height)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool block = x >= mark && x < mark + 20 && y >= 10 && y < 40;
            page.pixels[std::size_t(y) * width + x] =
                block ? 0 : static_cast<std::uint8_t>(128 + (x + y) % 120);
        }
    }
    return page;
}

Picture ColourPage(int width, int height) {
    Picture page{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3), 3};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px = page.Row(y) + 3 * x;
            px[0] = static_cast<std::uint8_t>(x * 255 / width);
            px[1] = static_cast<std::uint8_t>(y * 255 / height);
            px[2] = 160;
        }
    }
    return page;
}

void WriteBytesTo(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

using Members = std::vector<std::pair<std::string, std::vector<std::uint8_t>>>;

struct WriterEnd {
    void operator()(archive* a) const { archive_write_free(a); }
};

// A ZIP of the members, in the order given; a folder member when the name ends in "/". A 7z
// archive when `sevenZip`: libarchive writes those solid, all members in one stream.
void WriteZip(const fs::path& path, const Members& members, const char* password = nullptr,
              bool sevenZip = false) {
    std::unique_ptr<archive, WriterEnd> a(archive_write_new());
    if (sevenZip)
        archive_write_set_format_7zip(a.get());
    else
        archive_write_set_format_zip(a.get());
    if (password) {
        ASSERT_EQ(archive_write_set_options(a.get(), "zip:encryption=zipcrypt"), ARCHIVE_OK);
        ASSERT_EQ(archive_write_set_passphrase(a.get(), password), ARCHIVE_OK);
    }
    ASSERT_EQ(archive_write_open_filename(a.get(), path.c_str()), ARCHIVE_OK);
    for (const auto& [name, bytes] : members) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.c_str());
        const bool folder = name.ends_with('/');
        archive_entry_set_filetype(entry, folder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry, folder ? 0755 : 0644);
        archive_entry_set_size(entry, folder ? 0 : static_cast<la_int64_t>(bytes.size()));
        ASSERT_EQ(archive_write_header(a.get(), entry), ARCHIVE_OK);
        if (!folder)
            archive_write_data(a.get(), bytes.data(), bytes.size());
        archive_entry_free(entry);
    }
}

Error ErrorOpening(const fs::path& path) {
    try {
        const auto document = OpenScanDocument(path);
        for (int page = 0; page < document->PageCount(); ++page)
            document->PagePicture(page, 50, 50);
    } catch (const Error& e) {
        return e;
    }
    return Error(ErrorCode::Internal, "no error");
}

TEST(ImagePagesTest, ArchivePagesComeInNaturalOrderWithTheirOwnPixels) {
    const GreyPicture first = GreyPage(120, 90, 10), second = GreyPage(120, 90, 50);
    GreyPicture bilevel = GreyPage(64, 48, 30);
    for (std::uint8_t& p : bilevel.pixels)
        p = p < 128 ? 0 : 255;
    const Picture colour = ColourPage(160, 100);
    TempFolder folder;
    const fs::path path = folder / "comic.cbz";
    WriteZip(path, {{"pages/", {}},
                    {"pages/page10.png", EncodeGreyPng(bilevel, 2)},
                    {"pages/page2.png", EncodeGreyPng(second, 256)},
                    {"ComicInfo.xml", {'<', 'x', '/', '>'}},
                    {"__MACOSX/pages/._page1.png", {0, 1, 2}},
                    {"pages/Page1.png", EncodeGreyPng(first, 256)},
                    {"pages/page3.jpg", EncodeJpeg(colour, 95)}});
    const auto document = OpenScanDocument(path);
    EXPECT_EQ(document->KindName(), "comic archive");
    ASSERT_EQ(document->PageCount(), 4);
    const std::vector<std::string> order = {"pages/Page1.png", "pages/page2.png", "pages/page3.jpg",
                                            "pages/page10.png"};
    for (int page = 0; page < 4; ++page)
        EXPECT_EQ(document->Info(page).source, order[std::size_t(page)]);
    EXPECT_EQ(document->Shape(3).kind, PageKind::Bilevel);
    EXPECT_EQ(document->Shape(0).kind, PageKind::Grey);
    EXPECT_EQ(document->Shape(2).kind, PageKind::Colour);
    EXPECT_EQ(document->Info(2).codec, "JPEG");

    // Lossless pages come back exactly at their own size; the JPEG within its quantisation.
    const std::pair<const GreyPicture*, int> greys[] = {{&first, 0}, {&second, 1}, {&bilevel, 3}};
    for (const auto& [want, page] : greys) {
        const Picture got = document->PagePicture(page, want->width, want->height);
        ASSERT_EQ(got.channels, 1);
        EXPECT_EQ(got.samples, want->pixels) << page;
    }
    const Picture got = document->PagePicture(2, colour.width, colour.height);
    ASSERT_EQ(got.samples.size(), colour.samples.size());
    double error = 0;
    for (std::size_t i = 0; i < got.samples.size(); ++i)
        error += std::abs(got.samples[i] - colour.samples[i]);
    EXPECT_LT(error / static_cast<double>(got.samples.size()), 2.0);
    // Asked for less, a page is resampled (the JPEG shrunk as it is decoded).
    const Picture small = document->PagePicture(2, 40, 25);
    EXPECT_EQ(small.width, 40);
    EXPECT_NEAR(small.Row(24)[3 * 39 + 1], 245, 12);

    // The bilevel page gives its own bits, ink set and paper past its width; the others none.
    const auto bits = document->PageBits(3);
    ASSERT_TRUE(bits);
    ASSERT_EQ(bits->width, bilevel.width);
    ASSERT_EQ(bits->height, bilevel.height);
    for (int y = 0; y < bits->height; ++y) {
        for (std::size_t x = 0; x < bits->stride * 8; ++x) {
            const bool ink = x < std::size_t(bilevel.width) &&
                             bilevel.pixels[std::size_t(y) * bilevel.width + x] == 0;
            ASSERT_EQ((bits->Row(y)[x / 8] >> (7 - x % 8)) & 1, ink ? 1 : 0) << x << "," << y;
        }
    }
    for (int page = 0; page < 3; ++page)
        EXPECT_FALSE(document->PageBits(page)) << page;
}

TEST(ImagePagesTest, SolidArchivePagesComeRightInAnyOrder) {
    // Read by one reader walking forward: pages asked for out of turn, again, or from the start
    // once more must still be the right ones.
    TempFolder folder;
    Members members;
    std::vector<GreyPicture> pages;
    for (int i = 0; i < 8; ++i) {
        pages.push_back(GreyPage(100, 60, 5 + 9 * i));
        members.push_back({"p" + std::to_string(i + 1) + ".png", EncodeGreyPng(pages.back(), 256)});
    }
    WriteZip(folder / "comic.cb7", members, nullptr, true);
    const auto document = OpenScanDocument(folder / "comic.cb7");
    ASSERT_EQ(document->PageCount(), 8);
    for (const int page : {0, 2, 1, 3, 6, 4, 5, 7, 7, 3, 0}) {
        SCOPED_TRACE(page);
        EXPECT_EQ(document->PagePicture(page, 100, 60).samples,
                  pages[static_cast<std::size_t>(page)].pixels);
    }
}

TEST(ImagePagesTest, SingleImagesAreDocumentsOfOnePage) {
    TempFolder folder;
    const GreyPicture page = GreyPage(300, 200, 100);
    std::ofstream(folder / "page.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(EncodeGreyPng(page, 256).data()),
               static_cast<std::streamsize>(EncodeGreyPng(page, 256).size()));
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(ColourPage(300, 200));
    std::ofstream(folder / "photo.jpeg", std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()),
               static_cast<std::streamsize>(jpeg.size()));

    const auto png = OpenScanDocument(folder / "page.png");
    EXPECT_EQ(png->KindName(), "PNG image");
    EXPECT_EQ(png->PageCount(), 1);
    EXPECT_EQ(png->PagePicture(0).samples, page.pixels);  // no resolution: its own pixels
    const auto photo = OpenScanDocument(folder / "photo.jpeg");
    EXPECT_EQ(photo->KindName(), "JPEG image");
    EXPECT_EQ(photo->Info(0).layout, "RGB 8-bit");
    EXPECT_EQ(photo->Info(0).source, "photo.jpeg");
}

// A chunk whose length runs far past the file's end (here a text chunk saying it holds 2 GB)
// is a damaged page, said so, and not a reason to set aside the length it claims.
TEST(ImagePagesTest, APngChunkLongerThanItsFileIsADamagedPage) {
    TempFolder folder;
    std::vector<std::uint8_t> png = EncodeGreyPng(GreyPage(40, 30, 100), 256);
    const std::vector<std::uint8_t> text = {0x7E, 0,   0,   0x25, 't', 'E',
                                            'X',  't', 'd', 'a',  't', 'e'};
    png.insert(png.begin() + 33, text.begin(), text.end());  // after the header chunk
    WriteBytesTo(folder / "page.png", png);
    const auto document = OpenScanDocument(folder / "page.png");
    try {
        document->PagePicture(0);
        FAIL() << "a damaged PNG was read";
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::BadInput);
        EXPECT_NE(std::string(e.what()).find("damaged PNG"), std::string::npos) << e.what();
    }
}

// A fax kept as an image says it has 200 pixels an inch across and 100 down: its picture has
// the page's shape, not its pixels'. A resolution no page can have (one that would make this one
// a speck of a few pixels, or yards long) is taken as unknown: the page keeps its own pixels.
TEST(ImagePagesTest, PixelsNotSquareGiveThePageItsOwnShape) {
    TempFolder folder;
    const GreyPicture page = GreyPage(200, 100, 20);
    const auto u32 = [](std::uint32_t v) {
        return std::vector<std::uint8_t>{std::uint8_t(v >> 24), std::uint8_t(v >> 16),
                                         std::uint8_t(v >> 8), std::uint8_t(v)};
    };
    // Pixels per metre across and down.
    const auto png = [&](std::uint32_t across, std::uint32_t down) {
        std::vector<std::uint8_t> bytes = EncodeGreyPng(page, 256);
        std::vector<std::uint8_t> phys = u32(9);
        for (const auto& part : {std::vector<std::uint8_t>{'p', 'H', 'Y', 's'}, u32(across),
                                 u32(down), std::vector<std::uint8_t>{1}})
            phys.insert(phys.end(), part.begin(), part.end());
        const std::uint32_t crc = static_cast<std::uint32_t>(
            crc32(0, phys.data() + 4, static_cast<unsigned>(phys.size() - 4)));
        const auto sum = u32(crc);
        phys.insert(phys.end(), sum.begin(), sum.end());
        bytes.insert(bytes.begin() + 33, phys.begin(), phys.end());  // after the header chunk
        return bytes;
    };
    // Pixels per inch across and down.
    const auto jpeg = [&](std::uint16_t across, std::uint16_t down) {
        std::vector<std::uint8_t> bytes = EncodeGreyJpeg(page, 90);
        EXPECT_EQ(bytes[3], 0xE0);  // JFIF: units, then the densities across and down
        bytes[13] = 1;
        bytes[14] = std::uint8_t(across >> 8), bytes[15] = std::uint8_t(across);
        bytes[16] = std::uint8_t(down >> 8), bytes[17] = std::uint8_t(down);
        return bytes;
    };
    WriteBytesTo(folder / "fax.png", png(7874, 3937));
    WriteBytesTo(folder / "fax.jpg", jpeg(200, 100));
    for (const char* name : {"fax.png", "fax.jpg"}) {
        SCOPED_TRACE(name);
        const auto fax = OpenScanDocument(folder / name);
        EXPECT_NEAR(fax->Resolution(0), 100, 0.1);
        EXPECT_NEAR(fax->ResolutionAcross(0), 200, 0.1);
        EXPECT_NEAR(fax->Info(0).xResolution, 200, 0.1);
        EXPECT_EQ(fax->PictureSize(0), std::pair(96, 96));
    }
    // 60,000 dpi, and one dot per inch (or per metre).
    WriteBytesTo(folder / "speck.png", png(2362205, 2362205));
    WriteBytesTo(folder / "speck.jpg", jpeg(60000, 60000));
    WriteBytesTo(folder / "vast.png", png(1, 1));
    WriteBytesTo(folder / "vast.jpg", jpeg(1, 1));
    for (const char* name : {"speck.png", "speck.jpg", "vast.png", "vast.jpg"}) {
        SCOPED_TRACE(name);
        const auto odd = OpenScanDocument(folder / name);
        EXPECT_EQ(odd->Resolution(0), 0);
        EXPECT_EQ(odd->PictureSize(0), std::pair(200, 100));
        EXPECT_EQ(odd->PagePicture(0).width, 200);
    }
}

TEST(ImagePagesTest, APhotoIsShownAsItsExifOrientationSays) {
    // A phone stores a page shot upright with the phone on its side as it came off the sensor,
    // with Exif orientation 6: turn a quarter clockwise to show. Big-endian and little-endian
    // Exif blocks alike.
    const GreyPicture stored = GreyPage(120, 60, 10);  // dark block at x 10-29, y 10-39
    for (const bool little : {false, true}) {
        SCOPED_TRACE(little);
        const std::uint8_t order = little ? 'I' : 'M';
        const auto u16 = [little](unsigned v) -> std::vector<std::uint8_t> {
            return little ? std::vector<std::uint8_t>{std::uint8_t(v), std::uint8_t(v >> 8)}
                          : std::vector<std::uint8_t>{std::uint8_t(v >> 8), std::uint8_t(v)};
        };
        std::vector<std::uint8_t> exif = {'E', 'x', 'i', 'f', 0, 0, order, order};
        for (const auto& part : {u16(42), little ? u16(8) : u16(0), little ? u16(0) : u16(8),
                                 u16(1), u16(0x0112), u16(3), little ? u16(1) : u16(0),
                                 little ? u16(0) : u16(1), u16(6), u16(0), u16(0), u16(0)})
            exif.insert(exif.end(), part.begin(), part.end());
        std::vector<std::uint8_t> jpeg = EncodeGreyJpeg(stored, 95);
        std::vector<std::uint8_t> app1 = {0xFF, 0xE1, 0, std::uint8_t(exif.size() + 2)};
        app1.insert(app1.end(), exif.begin(), exif.end());
        jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
        TempFolder folder;
        WriteBytesTo(folder / "shot.jpg", jpeg);

        const auto photo = OpenScanDocument(folder / "shot.jpg");
        EXPECT_EQ(photo->Shape(0).width, 60);
        EXPECT_EQ(photo->Shape(0).height, 120);
        EXPECT_EQ(photo->Info(0).orientation, 6);
        const Picture shown = photo->PagePicture(0, 60, 120);
        ASSERT_EQ(shown.width, 60);
        // Stored (x, y) shows at (59 - y, x): the block at x 20-49, y 10-29.
        EXPECT_LT(shown.Row(20)[35], 40);
        EXPECT_GT(shown.Row(20)[5], 100);
        EXPECT_GT(shown.Row(60)[35], 100);
    }
}

TEST(ImagePagesTest, UnsafeOrForeignArchivesAreRefusedWithTheirReason) {
    TempFolder folder;
    const std::vector<std::uint8_t> png = EncodeGreyPng(GreyPage(64, 48, 5), 256);
    std::vector<std::uint8_t> huge = png;  // a header claiming 100,000 x 100,000 pixels
    huge[16] = huge[20] = 0;
    huge[17] = huge[21] = 0x01;
    huge[18] = huge[22] = 0x86;
    huge[19] = huge[23] = 0xA0;
    std::vector<std::uint8_t> cut(png.begin(), png.begin() + 20);
    struct Case {
        std::string name;
        Members members;
        ErrorCode code;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"climb.cbz", {{"a.png", png}, {"../b.png", png}}, ErrorCode::BadInput, "climbs out"},
        {"root.cbz", {{"/etc/b.png", png}}, ErrorCode::BadInput, "climbs out"},
        {"deep.cbz", {{"x/../../b.png", png}}, ErrorCode::BadInput, "climbs out"},
        {"other.cbz",
         {{"a.png", png}, {"setup.exe", png}},
         ErrorCode::BadInput,
         "not a JPEG or PNG page image: setup.exe"},
        {"empty.cbz", {{"ComicInfo.xml", {'<'}}}, ErrorCode::BadInput, "holds no page images"},
        {"cut.cbz", {{"a.png", cut}}, ErrorCode::BadInput, "a.png: not a JPEG or PNG"},
        {"bomb.cbz", {{"a.png", huge}}, ErrorCode::TooLarge, "more pixels"},
        {"named.cbz", {{"a.png", {'n', 'o', 't'}}}, ErrorCode::BadInput, "not a JPEG or PNG"},
    };
    for (const Case& c : cases) {
        WriteZip(folder / c.name, c.members);
        const Error error = ErrorOpening(folder / c.name);
        EXPECT_EQ(error.Code(), c.code) << c.name << ": " << error.what();
        EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find((folder / c.name).string()), std::string::npos)
            << error.what();
    }
    WriteZip(folder / "locked.cbz", {{"a.png", png}}, "secret");
    EXPECT_EQ(ErrorOpening(folder / "locked.cbz").Code(), ErrorCode::Unsupported);
    // A damaged archive is no document; nor is a file that is no archive, whatever its name.
    std::vector<std::uint8_t> zip;
    WriteZip(folder / "whole.cbz", {{"a.png", png}});
    std::ifstream in(folder / "whole.cbz", std::ios::binary);
    zip.assign(std::istreambuf_iterator<char>(in), {});
    std::ofstream(folder / "short.cbz", std::ios::binary)
        .write(reinterpret_cast<const char*>(zip.data()), 60);
    EXPECT_EQ(ErrorOpening(folder / "short.cbz").Code(), ErrorCode::BadInput);
    // A member whose data libarchive gives up on without saying why.
    WriteBytesTo(folder / "mute.cbz",
                 {0x50, 0x4b, 0x03, 0x04, 0x14, 0x00, 0x00, 0x00, 0x5d, 0x89, 0x08, 0x00, 0x30,
                  0x08, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x01, 0x00, 0x00,
                  0x05, 0x00, 0x20, 0x00, 0x73, 0x2e, 0x70, 0x6e, 0x67, 0x55, 0x54, 0x0d, 0x00,
                  0x07, 0x60, 0xee, 0x18, 0x6b, 0x60, 0xee, 0x18, 0x6b, 0x60, 0xee, 0x18, 0x6b,
                  0x75, 0x78, 0x0b, 0x00, 0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00,
                  0x00, 0x00, 0xeb, 0xe5, 0x0c, 0xf0, 0xe7, 0x89, 0x73, 0x50, 0x92, 0xe2, 0x62});
    EXPECT_EQ(ErrorOpening(folder / "mute.cbz").Code(), ErrorCode::BadInput);
}

TEST(ImagePagesTest, AFolderOfPageImagesIsOneDocumentAndNothingElseMayBeInIt) {
    TempFolder folder;
    const fs::path pages = folder / "Volume 1";
    fs::create_directories(pages / "extras");
    const GreyPicture page = GreyPage(60, 40, 5);
    for (const char* name : {"p10.png", "p9.PNG", "p1.png", ".p0.png"})
        WriteBytesTo(pages / name, EncodeGreyPng(page, 256));
    std::ofstream(pages / "Thumbs.db") << "x";
    std::ofstream(pages / "extras" / "notes.txt") << "x";  // sub-folders are not pages
    const auto document = OpenScanDocument(pages);
    EXPECT_EQ(document->KindName(), "image folder");
    ASSERT_EQ(document->PageCount(), 3);
    EXPECT_EQ(document->Info(0).source, "p1.png");
    EXPECT_EQ(document->Info(1).source, "p9.PNG");
    EXPECT_EQ(document->Info(2).source, "p10.png");
    EXPECT_EQ(document->PagePicture(2, 60, 40).samples, page.pixels);

    std::ofstream(pages / "contents.pdf") << "x";
    const Error error = ErrorOpening(pages);
    EXPECT_EQ(error.Code(), ErrorCode::BadInput);
    EXPECT_NE(std::string(error.what()).find("not a JPEG or PNG page image: contents.pdf"),
              std::string::npos)
        << error.what();
    EXPECT_EQ(ErrorOpening(folder / "extras-none").Code(), ErrorCode::BadInput);
}

TEST(ImagePagesTest, NamesSortAsPeopleNumberPages) {
    const std::vector<std::string> sorted = {"page1.png",  "Page2.png",   "page02b.png",
                                             "page10.png", "page10a.png", "page100.png"};
    for (std::size_t i = 0; i + 1 < sorted.size(); ++i) {
        EXPECT_TRUE(NaturalLess(sorted[i], sorted[i + 1])) << sorted[i];
        EXPECT_FALSE(NaturalLess(sorted[i + 1], sorted[i])) << sorted[i];
    }
    EXPECT_FALSE(NaturalLess("a.png", "a.png"));
}

}  // namespace
}  // namespace vellumark::imaging
