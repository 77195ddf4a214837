// A DjVu scan from the command line: `search` and text-layer books take the words of its hidden
// text, and its books pass the validators, run as the built program.

#include <gtest/gtest.h>

#include <fstream>

#include "CommandLineChecks.h"
#include "RunProgram.h"
#include "TestTiff.h"

namespace vellumark::cli {
namespace {
namespace fs = std::filesystem;
using vellumark::testing::RunProgram;
using vellumark::testing::RunResult;
using vellumark::testing::TempFolder;
using vellumark::testing::Vellumark;

TEST(DjvuCommandTest, ItsHiddenTextIsSearchedAndBecomesTheBooksTextLayer) {
    // Blank paper at 150 dpi carrying only hidden text: any word found comes from the layer,
    // not from Tesseract.
    TempFolder temp;
    {
        std::ofstream pbm(temp / "page.pbm", std::ios::binary);
        pbm << "P4\n600 800\n" << std::string(75u * 800u, '\0');
    }
    std::ofstream(temp / "text.dsed")
        << "select 1\nset-txt\n(page 0 0 600 800 (line 60 600 400 640 (word 60 600 250 640 "
           "\"lighthouse\") (word 270 600 400 640 \"keeper\")))\n.\nsave\n";
    const fs::path scan = temp / "Harbour.djvu";
    const RunResult drawn =
        RunProgram("cjb2", {"-dpi", "150", (temp / "page.pbm").string(), scan.string()});
    ASSERT_EQ(drawn.exitCode, 0) << drawn.err;
    const RunResult text =
        RunProgram("djvused", {scan.string(), "-f", (temp / "text.dsed").string()});
    ASSERT_EQ(text.exitCode, 0) << text.err;

    const RunResult search = Vellumark({"search", scan.string(), "lighthouse keeper"});
    ASSERT_EQ(search.exitCode, 0) << search.err;
    EXPECT_EQ(search.out.rfind("page 1, words 1-2", 0), 0u) << search.out;

    const fs::path book = temp / "out" / "Harbour.epub";
    const RunResult run =
        Vellumark({"convert", scan.string(), "--author", "Ada", "--format", "epub3", "--ocr",
                   "--output-dir", (temp / "out").string(), "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    vellumark::testing::ExpectValidBook(book);
    vellumark::testing::ExpectAccessibleBook(book);
    const RunResult page = RunProgram("unzip", {"-p", book.string(), "OEBPS/page1.xhtml"});
    EXPECT_NE(page.out.find("lighthouse"), std::string::npos) << page.out;
}

}  // namespace
}  // namespace vellumark::cli
