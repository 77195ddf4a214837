// PDF scans from the command line: what `info` says of them, search and text-layer books that
// take the file's own words, the books `convert` makes, --dpi, and the refusals, run as the
// built program.

#include <gtest/gtest.h>

#include <fstream>

#include "CommandLineChecks.h"
#include "RunProgram.h"
#include "TestPdf.h"
#include "TestTiff.h"
#include "imaging/Jpeg.h"

namespace vellumark::cli {
namespace {
namespace fs = std::filesystem;
using vellumark::testing::ExpectAccessibleBook;
using vellumark::testing::ExpectScanRefused;
using vellumark::testing::ExpectValidBooks;
using vellumark::testing::Lines;
using vellumark::testing::PdfPage;
using vellumark::testing::RunProgram;
using vellumark::testing::RunResult;
using vellumark::testing::TempFolder;
using vellumark::testing::Vellumark;

// Two scanned A5 pages at 150 dpi: blank bilevel paper carrying only an invisible OCR layer
// (so that any word found comes from the layer, not from Tesseract), and a grey JPEG page.
std::vector<PdfPage> ScannedPages() {
    testing::TestPage paper;
    paper.width = 874;
    paper.height = 1240;
    paper.layout = testing::Layout::Bilevel;
    paper.fill = testing::Fill::Solid;
    paper.inkColour = {255, 255, 255};
    const double width = 874 * 72.0 / 150, height = 1240 * 72.0 / 150;
    PdfPage first{width, height, testing::DrawImage(width, height), {testing::FaxImage(paper)}};
    first.content += testing::WriteText(60, 500, 14, "The lighthouse keeper", true);
    imaging::GreyPicture grey{874, 1240, std::vector<std::uint8_t>(874u * 1240u, 235)};
    for (std::size_t i = 0; i < grey.pixels.size(); i += 7)
        grey.pixels[i] = 40;
    PdfPage second{width,
                   height,
                   testing::DrawImage(width, height),
                   {testing::JpegImage(imaging::EncodeGreyJpeg(grey), 874, 1240, 1)}};
    return {first, second};
}

TEST(PdfCommandTest, AScannedPdfBecomesValidBooksThatKeepItsTextLayer) {
    TempFolder temp;
    const fs::path scan = temp / "Harbour.pdf";
    testing::WriteTestPdf(scan, ScannedPages());

    const RunResult info = Vellumark({"info", scan.string()});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(info.out.rfind(scan.string() + ": PDF, 2 pages\n", 0), 0u) << info.out;
    EXPECT_NE(info.out.find("CCITT G4"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("from its image"), std::string::npos) << info.out;
    const RunResult json = Vellumark({"info", scan.string(), "--json"});
    EXPECT_NE(json.out.find("\"kind\": \"PDF\""), std::string::npos) << json.out;

    const RunResult search = Vellumark({"search", scan.string(), "lighthouse keeper"});
    ASSERT_EQ(search.exitCode, 0) << search.err;
    EXPECT_EQ(Lines(search.out), 1) << search.out;
    EXPECT_EQ(search.out.rfind("page 1, words 2-3", 0), 0u) << search.out;

    const RunResult epub2 = Vellumark({"convert", scan.string(), "--author", "Ada", "--output-dir",
                                       (temp / "epub2").string(), "--quiet"});
    ASSERT_EQ(epub2.exitCode, 0) << epub2.err;
    const fs::path layered = temp / "epub3" / "Harbour.epub";
    const RunResult epub3 =
        Vellumark({"convert", scan.string(), "--author", "Ada", "--format", "epub3", "--ocr",
                   "--output-dir", (temp / "epub3").string(), "--quiet"});
    ASSERT_EQ(epub3.exitCode, 0) << epub3.err;
    ExpectValidBooks({temp / "epub2" / "Harbour.epub", layered});
    ExpectAccessibleBook(layered);
    const RunResult pages = RunProgram("unzip", {"-p", layered.string(), "OEBPS/*.xhtml"});
    EXPECT_NE(pages.out.find("lighthouse"), std::string::npos);
}

TEST(PdfCommandTest, DrawnPagesFollowDpiAndBadFilesAreRefused) {
    TempFolder temp;
    const fs::path drawn = temp / "drawn.pdf";
    testing::WriteTestPdf(drawn, {{144, 72, testing::WriteText(10, 30, 20, "Notes"), {}}});
    const RunResult info = Vellumark({"info", drawn.string(), "--dpi", "100"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("200 x 100"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("from rendering at 100 dpi"), std::string::npos) << info.out;
    const RunResult low = Vellumark({"info", drawn.string(), "--dpi", "20"});
    EXPECT_EQ(low.exitCode, 2);
    EXPECT_NE(low.err.find("--dpi is 50 to 1200, not 20"), std::string::npos) << low.err;

    testing::WriteEncryptedPdf(temp / "locked.pdf", ScannedPages(), "secret");
    std::ofstream(temp / "broken.pdf") << "%PDF-1.4\n1 0 obj << /Type /Catalog";
    ExpectScanRefused(temp.Path(), "locked.pdf", "protected by a password");
    ExpectScanRefused(temp.Path(), "broken.pdf", "damaged or not a PDF file");
}

}  // namespace
}  // namespace vellumark::cli
