// Runs the built program: `vellumark search` on generated scans.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "RunProgram.h"
#include "TestTiff.h"
#include "tools/SampleScan.h"

namespace {

using vellumark::testing::RunProgram;
using vellumark::testing::RunResult;
using vellumark::testing::TempFolder;

RunResult Search(const std::vector<std::string>& args) {
    std::vector<std::string> all{"search"};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram(VELLUMARK_EXE, all);
}

int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class SearchCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        vellumark::tools::PageLayout layout;
        layout.width = 1400;
        layout.height = 600;
        layout.margin = 120;
        const std::vector<std::vector<vellumark::tools::TextLine>> pages{
            {{"Aardvark and lighthouse", 16}},
            {{"Zeppelin over the bay", 16}},
            {{"The lighthouse at dusk", 16}},
        };
        std::vector<vellumark::tools::BilevelPage> rendered;
        for (const auto& lines : pages)
            rendered.push_back(vellumark::tools::RenderPage(lines, layout));
        vellumark::tools::WriteScan(*folder_ / "scan.tif", rendered);
    }
    static void TearDownTestSuite() { delete folder_; }
    static TempFolder* folder_;
};
TempFolder* SearchCommandTest::folder_ = nullptr;

TEST_F(SearchCommandTest, PrintsEveryHitWithItsPageInDocumentOrder) {
    const std::string scan = (*folder_ / "scan.tif").string();
    RunResult run = Search({scan, "Lighthouse", "--jobs", "2"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "page 1, word 3: lighthouse\npage 3, word 2: lighthouse\n");

    run = Search({scan, "zeppelin OVER"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "page 2, words 1-2: Zeppelin over\n");

    run = Search({scan, "unicorn", "--jobs", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(SearchCommandTest, BadInputGivesOneClearLineAndAnErrorCode) {
    RunResult run = Search({(*folder_ / "missing.tif").string(), "word"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.exitCode, -1);
    EXPECT_EQ(Lines(run.err), 1) << run.err;
    EXPECT_EQ(run.out, "");

    std::ofstream(*folder_ / "notes.txt") << "not a scan";
    run = Search({(*folder_ / "notes.txt").string(), "word"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(Lines(run.err), 1) << run.err;

    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"only-input"},
                                                                  {"a.tif", "word", "--jobs", "0"},
                                                                  {"a.tif", "word", "--jobs"},
                                                                  {"a.tif", "word", "--fast"}}) {
        run = Search(args);
        EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(Lines(run.err), 1) << run.err;
    }
}

}  // namespace
