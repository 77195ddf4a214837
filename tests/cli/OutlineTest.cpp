// What `vellumark outline` prints: its contents lines read back as a contents file, and the
// command run on a scan.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "RunProgram.h"
#include "TestTiff.h"
#include "cli/OutlineReport.h"
#include "structure/TocFile.h"
#include "tools/SampleScan.h"
#include "tools/TypesetBook.h"

namespace vellumark::cli {
namespace {
namespace fs = std::filesystem;

structure::BookStructure Novel() {
    const tools::TypesetBook book = tools::TypesetNovel();
    structure::BookAnalyser analyser;
    for (const auto& words : book.pages)
        analyser.AddPage(words, book.width, book.height);
    return analyser.Finish();
}

TEST(OutlineTest, TheContentsPrintedReadsBackAsAContentsFile) {
    const structure::BookStructure book = Novel();
    const std::string text = OutlineText(book);
    EXPECT_EQ(text.rfind("Pages: 43, 40 with a printed label\n", 0), 0u) << text;
    EXPECT_NE(text.find("Contents (from the printed contents on scan page 3):\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n3: iii\n"), std::string::npos);
    EXPECT_NE(text.find("\n1: -\n"), std::string::npos);
    // The lines from "Contents" to the blank line, as the manual's example cuts them out.
    const std::size_t start = text.find('\n', text.find("Contents (")) + 1;
    const std::string lines = text.substr(start, text.find("\n\n", start) - start + 1);
    const auto entries = structure::ParseTocFile(lines, "outline");
    const auto headings =
        structure::ResolveTocFile(entries, book.labels, book.pageCount, "outline");
    ASSERT_EQ(headings.size(), book.headings.size());
    for (std::size_t i = 0; i < headings.size(); ++i) {
        EXPECT_EQ(headings[i].page, book.headings[i].page);
        EXPECT_EQ(headings[i].level, book.headings[i].level);
        EXPECT_EQ(headings[i].title, book.headings[i].title);
    }
}

TEST(OutlineTest, JsonNamesEveryPartWithPagesFromOne) {
    const std::string json = OutlineJson(Novel());
    EXPECT_EQ(json.rfind("{\"pages\": 43, \"source\": \"contents\", \"contentsPages\": [3], "
                         "\"chapters\": [{\"level\": 1, \"title\": \"Preface\", \"page\": 5, "
                         "\"label\": \"v\"}, ",
                         0),
              0u)
        << json;
    EXPECT_NE(json.find("\"labels\": [\"\", \"\", \"iii\", "), std::string::npos);
    EXPECT_NE(json.find("{\"page\": 12, \"text\": \"4\"}"), std::string::npos);
    EXPECT_EQ(json.back(), '\n');
}

TEST(OutlineTest, TheCommandReadsAScanAndAPlainOneHasNoChapters) {
    testing::TempFolder temp;
    const fs::path scan = temp / "plain.tif";
    tools::PageLayout layout;
    layout.width = 1500;
    layout.height = 900;
    layout.margin = 150;
    tools::WriteScan(scan, {tools::RenderPage({{"Quasar beacons glow", 20}}, layout)});
    const auto json =
        testing::RunProgram(VELLUMARK_TEST_PROGRAM, {"outline", scan.string(), "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out,
              "{\"pages\": 1, \"source\": \"none\", \"contentsPages\": [], \"chapters\": [], "
              "\"labels\": [\"\"], \"runningHeads\": []}\n");
    const auto text = testing::RunProgram(VELLUMARK_TEST_PROGRAM, {"outline", scan.string()});
    EXPECT_NE(text.out.find("Contents: no chapters found; a book lists its pages\n"),
              std::string::npos);
    const auto missing =
        testing::RunProgram(VELLUMARK_TEST_PROGRAM, {"outline", (temp / "none.tif").string()});
    EXPECT_EQ(missing.exitCode, 2);
}

}  // namespace
}  // namespace vellumark::cli
