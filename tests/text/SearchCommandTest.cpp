// Runs the built program: `vellumark search` on generated scans.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "TestTiff.h"
#include "tools/SampleScan.h"

namespace {

using vellumark::testing::TempFolder;

struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

CommandResult Search(const TempFolder& folder, const std::vector<std::string>& args) {
    std::string command = Quote(VELLUMARK_EXE) + " search";
    for (const auto& arg : args)
        command += " " + Quote(arg);
    command += " >" + Quote(folder / "out.txt") + " 2>" + Quote(folder / "err.txt");
    CommandResult run;
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadAll(folder / "out.txt");
    run.err = ReadAll(folder / "err.txt");
    return run;
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
    CommandResult run = Search(*folder_, {scan, "Lighthouse", "--jobs", "2"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "page 1, word 3: lighthouse\npage 3, word 2: lighthouse\n");

    run = Search(*folder_, {scan, "zeppelin OVER"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "page 2, words 1-2: Zeppelin over\n");

    run = Search(*folder_, {scan, "unicorn", "--jobs", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(SearchCommandTest, BadInputGivesOneClearLineAndAnErrorCode) {
    CommandResult run = Search(*folder_, {(*folder_ / "missing.tif").string(), "word"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.exitCode, -1);
    EXPECT_EQ(Lines(run.err), 1) << run.err;
    EXPECT_EQ(run.out, "");

    std::ofstream(*folder_ / "notes.txt") << "not a scan";
    run = Search(*folder_, {(*folder_ / "notes.txt").string(), "word"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(Lines(run.err), 1) << run.err;

    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"only-input"},
                                                                  {"a.tif", "word", "--jobs", "0"},
                                                                  {"a.tif", "word", "--jobs"},
                                                                  {"a.tif", "word", "--fast"}}) {
        run = Search(*folder_, args);
        EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(Lines(run.err), 1) << run.err;
    }
}

}  // namespace
