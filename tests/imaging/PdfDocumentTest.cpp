// PDF files written in code: a page that is one scanned image comes at that image's own pixels
// (lossless codings exactly, JPEG as its own decoder gives it) and keeps its kind, other pages
// are rendered, the file's text layer gives the words with their boxes, and damaged, locked
// and oversized files are refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "TestPdf.h"
#include "TestTiff.h"
#include "common/Error.h"
#include "imaging/Jpeg.h"
#include "imaging/ScanDocument.h"

namespace vellumark::imaging {
namespace {
namespace fs = std::filesystem;
using testing::PdfImage;
using testing::PdfPage;
using testing::TempFolder;
using testing::TestPage;

TestPage Page(int width, int height, testing::Layout layout,
              testing::Fill fill = testing::Fill::LeftHalf) {
    TestPage page;
    page.width = width;
    page.height = height;
    page.layout = layout;
    page.fill = fill;
    return page;
}

Picture OwnPixels(const ScanDocument& document, int page) {
    const PageShape shape = document.Shape(page);
    return document.PagePicture(page, shape.width, shape.height);
}

// A page of the given size and resolution showing `image` edge to edge.
PdfPage ImagePage(const TestPage& page, double dpi, PdfImage image) {
    const double width = page.width * 72.0 / dpi, height = page.height * 72.0 / dpi;
    return {width, height, testing::DrawImage(width, height), {std::move(image)}};
}

std::vector<std::uint8_t> Samples(const TestPage& page, int components) {
    std::vector<std::uint8_t> samples;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const auto colour = testing::ExpectedColour(page, x, y);
            samples.insert(samples.end(), colour.begin(), colour.begin() + components);
        }
    return samples;
}

// 1-bit rows, a set bit white.
std::vector<std::uint8_t> Bits(const TestPage& page) {
    const int rowBytes = (page.width + 7) / 8;
    std::vector<std::uint8_t> rows(std::size_t(rowBytes) * std::size_t(page.height), 0);
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            if (testing::ExpectedColour(page, x, y)[0] != 0)
                rows[std::size_t(y * rowBytes + x / 8)] |= std::uint8_t(0x80 >> (x % 8));
    return rows;
}

// The same page as a TIFF, read by the program's TIFF reader: the truth for lossless kinds.
Picture FromTiff(const fs::path& path, TestPage page) {
    page.codec = testing::Codec::None;
    testing::WriteTestTiff(path, {page});
    return OwnPixels(*OpenScanDocument(path), 0);
}

class PdfDocumentTest : public ::testing::Test {
protected:
    TempFolder temp_;
};

TEST_F(PdfDocumentTest, ScannedImagesComeAtTheirOwnPixelsAndKind) {
    TestPage grey = Page(150, 100, testing::Layout::Grey8, testing::Fill::Text);
    TestPage colour = Page(90, 120, testing::Layout::Rgb, testing::Fill::Photo);
    TestPage bilevel = Page(203, 150, testing::Layout::Bilevel, testing::Fill::Text);
    const std::vector<std::uint8_t> jpeg =
        EncodeGreyJpeg(ToGrey(FromTiff(temp_ / "g.tif", grey)), 80);
    std::vector<PdfPage> pages = {
        ImagePage(grey, 150, testing::FlateImage(150, 100, 1, Samples(grey, 1))),
        ImagePage(colour, 100, testing::FlateImage(90, 120, 3, Samples(colour, 3))),
        ImagePage(bilevel, 200, testing::FlateBitsImage(203, 150, Bits(bilevel))),
        ImagePage(bilevel, 300, testing::FaxImage(bilevel)),
        ImagePage(grey, 150, testing::JpegImage(jpeg, 150, 100, 1)),
    };
    // A white background under the image and an OCR layer over it do not make a page drawn.
    pages[3].content =
        "1 g 0 0 50 50 re f\n" + pages[3].content + testing::WriteText(10, 10, 8, "hidden", true);
    testing::WriteTestPdf(temp_ / "scan.pdf", pages);
    const auto document = OpenScanDocument(temp_ / "scan.pdf");
    ASSERT_EQ(document->PageCount(), 5);
    EXPECT_EQ(document->KindName(), "PDF");

    const PageKind kinds[] = {PageKind::Grey, PageKind::Colour, PageKind::Bilevel,
                              PageKind::Bilevel, PageKind::Grey};
    const double dpis[] = {150, 100, 200, 300, 150};
    const char* codecs[] = {"Deflate", "Deflate", "Deflate", "CCITT G4", "JPEG"};
    for (int page = 0; page < 5; ++page) {
        SCOPED_TRACE(page);
        EXPECT_EQ(document->Shape(page).kind, kinds[page]);
        EXPECT_NEAR(document->Resolution(page), dpis[page], 0.01);
        EXPECT_EQ(document->Info(page).codec, codecs[page]);
        EXPECT_EQ(document->Info(page).source, "its image");
    }
    EXPECT_EQ(OwnPixels(*document, 0).samples, FromTiff(temp_ / "0.tif", grey).samples);
    EXPECT_EQ(OwnPixels(*document, 1).samples, FromTiff(temp_ / "1.tif", colour).samples);
    const Picture bits = FromTiff(temp_ / "2.tif", bilevel);
    EXPECT_EQ(OwnPixels(*document, 2).samples, bits.samples);
    EXPECT_EQ(OwnPixels(*document, 3).samples, bits.samples);
    // Both bilevel images give their bits too (for a turn at their own pixels); the others none.
    for (int page : {2, 3}) {
        SCOPED_TRACE(page);
        const auto own = document->PageBits(page);
        ASSERT_TRUE(own);
        ASSERT_EQ(own->width, bits.width);
        ASSERT_EQ(own->height, bits.height);
        for (int y = 0; y < bits.height; ++y)
            for (int x = 0; x < bits.width; ++x)
                ASSERT_EQ((own->Row(y)[x / 8] & (0x80 >> (x % 8))) != 0, bits.Row(y)[x] == 0)
                    << x << "," << y;
    }
    for (int page : {0, 1, 4})
        EXPECT_FALSE(document->PageBits(page)) << page;
    // The JPEG page is what its own bytes decode to, and near the page it was made from.
    std::ofstream(temp_ / "page.jpg", std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
    const Picture fromJpeg = OwnPixels(*document, 4);
    EXPECT_EQ(fromJpeg.samples, OwnPixels(*OpenScanDocument(temp_ / "page.jpg"), 0).samples);
    const Picture truth = FromTiff(temp_ / "4.tif", grey);
    double difference = 0;
    for (std::size_t i = 0; i < truth.samples.size(); ++i)
        difference += std::abs(int(truth.samples[i]) - int(fromJpeg.samples[i]));
    EXPECT_LT(difference / double(truth.samples.size()), 4.0);

    // Smaller pictures are resampled from the image, as for any page.
    const Picture small = document->PagePicture(2, 101, 75);
    EXPECT_EQ(small.width, 101);
    EXPECT_EQ(small.channels, 1);

    // A fax at its normal resolution, 200 dpi across and 100 down, fills a page twice as tall as
    // its pixels: its picture has the page's shape. So has the page when poppler draws such an
    // image (here, one whose /Decode swaps black and white), at one resolution both ways.
    const double widthPt = 203 * 72.0 / 200, heightPt = 150 * 72.0 / 100;
    testing::PdfImage inverted = testing::FlateImage(203, 150, 1, Samples(bilevel, 1));
    inverted.dict += " /Decode [1 0]";
    testing::WriteTestPdf(
        temp_ / "normal.pdf",
        {{widthPt, heightPt, testing::DrawImage(widthPt, heightPt), {testing::FaxImage(bilevel)}},
         {widthPt, heightPt, testing::DrawImage(widthPt, heightPt), {inverted}}});
    const auto normal = OpenScanDocument(temp_ / "normal.pdf");
    EXPECT_NEAR(normal->Resolution(0), 100, 0.01);
    EXPECT_NEAR(normal->ResolutionAcross(0), 200, 0.01);
    EXPECT_NEAR(normal->Info(0).xResolution, 200, 0.01);
    EXPECT_EQ(normal->PictureSize(0), std::pair(97, 144));
    EXPECT_EQ(normal->Info(1).source, "its image, rendered at 100 dpi");
    EXPECT_EQ(normal->ResolutionAcross(1), normal->Resolution(1));
    EXPECT_NEAR(normal->PictureSize(1).first, 97, 1);  // drawn 102 pixels wide
    EXPECT_EQ(normal->PictureSize(1).second, 144);
    EXPECT_EQ(document->ResolutionAcross(2), document->Resolution(2));
}

TEST_F(PdfDocumentTest, PagesThatAreNotOneImageAreRenderedAtTheResolutionAsked) {
    TestPage grey = Page(100, 100, testing::Layout::Grey8);
    PdfPage text{200, 100, testing::WriteText(20, 40, 30, "Harbour lights"), {}};
    // Visible writing over a scan, and an image on part of a page: both are drawn as a whole.
    PdfPage stamped = ImagePage(grey, 100, testing::FlateImage(100, 100, 1, Samples(grey, 1)));
    stamped.content += testing::WriteText(5, 5, 10, "COPY");
    PdfPage inset{144,
                  144,
                  "q 36 0 0 36 10 10 cm /Im0 Do Q\n",
                  {testing::FlateImage(100, 100, 1, Samples(grey, 1))}};
    TestPage tall = Page(100, 200, testing::Layout::Grey8);
    PdfPage turned = ImagePage(tall, 100, testing::FlateImage(100, 200, 1, Samples(tall, 1)));
    turned.rotate = 90;
    TestPage letters = Page(203, 150, testing::Layout::Bilevel, testing::Fill::Text);
    PdfPage turnedFax = ImagePage(letters, 300, testing::FaxImage(letters));
    turnedFax.rotate = 270;
    testing::WriteTestPdf(temp_ / "drawn.pdf", {text, stamped, inset, turned, turnedFax});

    const auto document = OpenScanDocument(temp_ / "drawn.pdf");
    EXPECT_EQ(document->Shape(0).width, 833);  // 200 and 100 points at 300 dpi
    EXPECT_EQ(document->Shape(0).height, 417);
    EXPECT_EQ(document->Shape(0).kind, PageKind::Colour);
    EXPECT_EQ(document->Info(0).source, "rendering at 300 dpi");
    EXPECT_EQ(document->Info(1).source, "rendering at 300 dpi");
    EXPECT_EQ(document->Info(2).source, "rendering at 300 dpi");
    // A scan the file turns (clockwise) is its own pixels turned as the file shows them, as
    // pixels and as bits.
    EXPECT_EQ(document->Info(3).source, "its image, turned as the file shows it");
    EXPECT_EQ(document->Shape(3).width, 200);
    EXPECT_EQ(document->Shape(3).height, 100);
    const Picture shown = OwnPixels(*document, 3);
    ASSERT_EQ(shown.width, 200);
    ASSERT_EQ(shown.channels, 1);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(shown.Row(y)[x], testing::ExpectedColour(tall, y, 199 - x)[0])
                << x << "," << y;
    ASSERT_EQ(document->Shape(4).width, 150);
    const auto bits = document->PageBits(4);
    ASSERT_TRUE(bits);
    ASSERT_EQ(bits->width, 150);
    ASSERT_EQ(bits->height, 203);
    const Picture letterPixels = OwnPixels(*document, 4);
    for (int y = 0; y < 203; ++y)
        for (int x = 0; x < 150; ++x) {
            const bool ink = testing::ExpectedColour(letters, 202 - y, x)[0] < 128;
            ASSERT_EQ((bits->Row(y)[x / 8] >> (7 - x % 8)) & 1, ink ? 1 : 0) << x << "," << y;
            ASSERT_EQ(letterPixels.Row(y)[x] < 128, ink) << x << "," << y;
        }

    const auto low = OpenScanDocument(temp_ / "drawn.pdf", 72);
    EXPECT_EQ(low->Shape(0).width, 200);
    const Picture page = low->PagePicture(0, 200, 100);
    ASSERT_EQ(page.channels, 3);
    // The words are drawn where they were written, and the paper is white elsewhere.
    int inkInLine = 0, inkElsewhere = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            const bool ink = page.Row(y)[3 * x] < 128;
            const bool inLine = y > 100 - 40 - 30 && y < 100 - 40 + 8;
            (inLine ? inkInLine : inkElsewhere) += ink;
        }
    EXPECT_GT(inkInLine, 300);
    EXPECT_EQ(inkElsewhere, 0);
}

TEST_F(PdfDocumentTest, TheFilesTextLayerGivesTheWordsInPlace) {
    TestPage blank = Page(300, 200, testing::Layout::Bilevel, testing::Fill::Solid);
    blank.inkColour = {255, 255, 255};
    PdfPage scan = ImagePage(blank, 100, testing::FaxImage(blank));
    // 216 x 144 points; the words at 1 inch from the left, 1 inch up, 12 points high.
    scan.content += testing::WriteText(72, 72, 12, "Harbour", true) +
                    testing::WriteText(119, 72, 12, "lights", true) +
                    testing::WriteText(72, 30, 12, "below", true);
    PdfPage empty = ImagePage(blank, 100, testing::FaxImage(blank));
    testing::WriteTestPdf(temp_ / "layer.pdf", {scan, empty});
    const auto document = OpenScanDocument(temp_ / "layer.pdf");
    const std::vector<StoredWord> words = document->StoredWords(0);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].text, "Harbour");
    EXPECT_EQ(words[1].text, "lights");
    EXPECT_EQ(words[2].text, "below");
    EXPECT_EQ(words[0].line, words[1].line);
    EXPECT_NE(words[1].line, words[2].line);
    // In the page's own pixels (100 dpi): x = 100, baseline at 200 - 100 = 100.
    EXPECT_NEAR(words[0].left, 100, 2);
    EXPECT_LT(words[0].top, 100);
    EXPECT_GT(words[0].top + words[0].height, 95);
    EXPECT_GT(words[1].left, words[0].left + words[0].width);
    EXPECT_TRUE(document->StoredWords(1).empty());
}

TEST_F(PdfDocumentTest, DamagedLockedAndOversizedFilesAreRefused) {
    const auto refusal = [](const fs::path& path, ErrorCode code, const std::string& words) {
        SCOPED_TRACE(path.filename().string());
        try {
            const auto document = OpenScanDocument(path);
            for (int page = 0; page < document->PageCount(); ++page)
                OwnPixels(*document, page);
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_EQ(e.Code(), code) << e.what();
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
    };
    TestPage grey = Page(40, 30, testing::Layout::Grey8);
    const PdfPage page = ImagePage(grey, 100, testing::FlateImage(40, 30, 1, Samples(grey, 1)));

    testing::WriteEncryptedPdf(temp_ / "locked.pdf", {page}, "secret");
    refusal(temp_ / "locked.pdf", ErrorCode::BadInput, "password");
    // Locked for changes only: it opens, and its image is read through the encryption.
    testing::WriteEncryptedPdf(temp_ / "owner.pdf", {page}, "");
    EXPECT_EQ(OwnPixels(*OpenScanDocument(temp_ / "owner.pdf"), 0).samples,
              FromTiff(temp_ / "owner.tif", grey).samples);

    std::vector<std::uint8_t> bytes = testing::PdfBytes({page});
    std::ofstream(temp_ / "cut.pdf", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), 20);
    refusal(temp_ / "cut.pdf", ErrorCode::BadInput, "damaged");
    std::ofstream(temp_ / "words.pdf") << "not a PDF at all";
    refusal(temp_ / "words.pdf", ErrorCode::BadInput, "damaged");
    // An empty file is called empty, whatever its name says it holds.
    for (const char* name : {"empty.pdf", "empty.djvu", "empty.cbz", "empty.jpg"}) {
        std::ofstream(temp_ / name).flush();
        refusal(temp_ / name, ErrorCode::BadInput, "is empty");
    }

    // An image that claims more pixels than any page, and one whose data stops short.
    PdfImage huge = testing::FlateImage(40, 30, 1, Samples(grey, 1));
    huge.dict.replace(huge.dict.find("/Width 40"), 9, "/Width 400000");
    huge.dict.replace(huge.dict.find("/Height 30"), 10, "/Height 300000");
    testing::WriteTestPdf(temp_ / "huge.pdf", {{100, 100, testing::DrawImage(100, 100), {huge}}});
    refusal(temp_ / "huge.pdf", ErrorCode::TooLarge, "more pixels");
    std::vector<std::uint8_t> half = Samples(grey, 1);
    half.resize(half.size() / 2);
    testing::WriteTestPdf(temp_ / "short.pdf",
                          {ImagePage(grey, 100, testing::FlateImage(40, 30, 1, half))});
    refusal(temp_ / "short.pdf", ErrorCode::BadInput, "cut short");
    PdfImage fax = testing::FaxImage(grey);
    std::fill(fax.data.begin(), fax.data.end(), 0);
    testing::WriteTestPdf(temp_ / "fax.pdf", {ImagePage(grey, 100, fax)});
    refusal(temp_ / "fax.pdf", ErrorCode::BadInput, "damaged fax image");

    // Data that inflates far beyond the image is read only as far as the image goes.
    std::vector<std::uint8_t> flood(64u << 20, 255);
    testing::WriteTestPdf(temp_ / "flood.pdf",
                          {ImagePage(grey, 100, testing::FlateImage(40, 30, 1, flood))});
    EXPECT_EQ(OwnPixels(*OpenScanDocument(temp_ / "flood.pdf"), 0).samples,
              std::vector<std::uint8_t>(40u * 30u, 255));
}

}  // namespace
}  // namespace vellumark::imaging
