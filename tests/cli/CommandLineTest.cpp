// The subcommands run as the built program: what `info` prints, help for every command, and
// one clear line with the right exit code for what goes wrong.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "CommandLineChecks.h"
#include "RunProgram.h"
#include "TestTiff.h"
#include "cli/CommandTable.h"
#include "cli/ShelfDisplay.h"

namespace vellumark::cli {
namespace {

using vellumark::testing::Lines;
using vellumark::testing::RunProgram;
using vellumark::testing::RunResult;
using vellumark::testing::TempFolder;
using vellumark::testing::TestPage;
using vellumark::testing::Vellumark;

TEST(HumanSizeTest, EachSizeInTheUnitThatReadsBest) {
    const std::pair<std::uintmax_t, const char*> cases[] = {
        {0, "0 bytes"},
        {1, "1 byte"},
        {999, "999 bytes"},
        {1000, "1 KB"},
        {42'400, "42 KB"},
        {999'499, "999 KB"},
        {999'500, "1.0 MB"},
        {16'480'000, "16.5 MB"},
        {999'949'999, "999.9 MB"},
        {999'950'000, "1.0 GB"},
        {2'500'000'000'000, "2.5 TB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(HumanSize(bytes), text) << bytes;
}

TEST(InfoCommandTest, PrintsEveryPageAndThePictureItBecomes) {
    TempFolder folder;
    std::vector<TestPage> pages(2);
    pages[0].width = 2480;
    pages[0].height = 3508;
    pages[0].xResolution = pages[0].yResolution = 300;
    pages[0].layout = vellumark::testing::Layout::Bilevel;
    pages[0].codec = vellumark::testing::Codec::G4;
    pages[1].width = 400;
    pages[1].height = 300;
    // No resolution: the picture keeps the pixel size.
    pages[1].layout = vellumark::testing::Layout::Rgb;
    pages[1].orientation = 6;
    const auto scan = folder / "scan.tif";
    vellumark::testing::WriteTestTiff(scan, pages);

    const RunResult run = Vellumark({"info", scan.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              scan.string() +
                  ": TIFF, 2 pages\n"
                  "page 1: 2480 x 3508 pixels, 300 dpi, bilevel, CCITT G4, picture 794 x 1123\n"
                  "page 2: 400 x 300 pixels, no resolution, RGB 8-bit, LZW, orientation 6, "
                  "picture 300 x 400\n");
}

TEST(InfoCommandTest, BadInputAndBadArgumentsGiveOneLineAndExitTwo) {
    TempFolder folder;
    std::ofstream(folder / "notes.txt") << "not a scan";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"info", (folder / "missing.tif").string()},
             {"info", (folder / "notes.txt").string()},
             {"info", folder.Path().string()},
             {"info"},
             {"info", "a.tif", "b.tif"},
             {"info", "a.tif", "--bogus"},
             {"bogus"},
         }) {
        const RunResult run = Vellumark(args);
        EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(Lines(run.err), 1) << run.err;
        EXPECT_EQ(run.err.rfind("vellumark: ", 0), 0u) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

// Word recognition comes in a module loaded when words are first read. A program without it
// still makes books; asked to read words, it says why it cannot in one line and leaves no book.
TEST(ConvertCommandTest, WithoutTheWordModuleBooksAreMadeAndReadingWordsFailsInOneLine) {
    namespace fs = std::filesystem;
    TempFolder folder;
    const fs::path built = VELLUMARK_TEST_PROGRAM;
    const fs::path program = folder / "bin" / "vellumark";
    fs::create_directories(program.parent_path());
    fs::copy_file(built, program);
    fs::copy(built.parent_path() / "epubfiles", program.parent_path() / "epubfiles",
             fs::copy_options::recursive);
    const fs::path scan = folder / "scan.tif";
    vellumark::testing::WriteTestTiff(scan, std::vector<TestPage>(2));

    const RunResult plain = RunProgram(
        program.string(),
        {"convert", scan.string(), "--author", "A", "--output-dir", (folder / "plain").string()});
    EXPECT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_TRUE(fs::exists(folder / "plain" / "scan.epub"));

    const RunResult ocr =
        RunProgram(program.string(), {"convert", scan.string(), "--author", "A", "--format",
                                      "epub3", "--ocr", "--output-dir", (folder / "ocr").string()});
    EXPECT_EQ(ocr.exitCode, 1);
    EXPECT_EQ(Lines(ocr.err), 1) << ocr.err;
    EXPECT_NE(ocr.err.find("word recognition cannot start"), std::string::npos) << ocr.err;
    EXPECT_FALSE(fs::exists(folder / "ocr" / "scan.epub"));
}

TEST(HelpTest, EveryCommandHasItsHelpOnStandardOutput) {
    for (const CommandSpec& command : Commands()) {
        for (const char* flag : {"--help", "-h"}) {
            // Help needs no operands, and wins over them.
            const RunResult run = Vellumark({std::string(command.name), flag});
            EXPECT_EQ(run.exitCode, 0) << command.name;
            EXPECT_EQ(run.out, CommandHelp(command));
            EXPECT_EQ(run.err, "");
        }
    }
    const RunResult general = Vellumark({"--help"});
    EXPECT_EQ(general.exitCode, 0);
    EXPECT_EQ(general.out, GeneralHelp());
}

TEST(HelpTest, TheBuiltManualPageIsTheTableAndFormatsCleanly) {
    std::ifstream in(VELLUMARK_TEST_MANUAL, std::ios::binary);
    const std::string built((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(built, ManualPage());
    const RunResult run =
        RunProgram("groff", {"-man", "-ww", "-z", "-Tutf8", VELLUMARK_TEST_MANUAL});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace vellumark::cli
