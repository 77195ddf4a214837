// The built `vellumark convert` on generated scans: valid books, and bad input refused with one
// line, a non-zero exit code and nothing left in the output folder.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "BookChecks.h"
#include "TestTiff.h"

namespace vellumark::epub {
namespace {
namespace fs = std::filesystem;
using testing::BookEntries;
using testing::RunProgram;
using vellumark::testing::Codec;
using vellumark::testing::Fill;
using vellumark::testing::Layout;
using vellumark::testing::TestPage;

TestPage Page(Layout layout, Fill fill, Codec codec = Codec::Default) {
    TestPage page;
    page.width = 620;  // A4 at 75 dpi keeps the test quick
    page.height = 877;
    page.xResolution = page.yResolution = 75;
    page.layout = layout;
    page.codec = codec;
    page.fill = fill;
    return page;
}

std::vector<TestPage> SeveralLayouts() {
    TestPage rotated = Page(Layout::Grey8, Fill::TopLeftQuarter);
    rotated.orientation = 6;
    return {Page(Layout::Bilevel, Fill::Text), Page(Layout::Grey8, Fill::Text),
            Page(Layout::YCbCrJpeg, Fill::Photo), Page(Layout::Palette, Fill::LeftHalf), rotated};
}

class EndToEndTest : public ::testing::Test {
protected:
    testing::RunResult Convert(std::vector<std::string> args) {
        args.insert(args.begin(), "convert");
        return RunProgram(VELLUMARK_TEST_PROGRAM, args);
    }
    std::string OutDir() const { return (temp_ / "out").string(); }

    vellumark::testing::TempFolder temp_;
};

TEST_F(EndToEndTest, ScansWithAndWithoutCoverMakeValidBooks) {
    const fs::path scan = temp_ / "Field Notes.tif";
    vellumark::testing::WriteTestTiff(scan, SeveralLayouts());
    const fs::path mdi = temp_ / "memo.mdi";
    vellumark::testing::WriteTestMdi(
        mdi, {Page(Layout::Bilevel, Fill::Text), Page(Layout::Bilevel, Fill::Text, Codec::G3)});
    // A cover is any JPEG; a page of a scan, encoded by hand, will do.
    const fs::path cover = temp_ / "front.jpeg";
    vellumark::testing::WriteTestTiff(temp_ / "cover.tif", {Page(Layout::Rgb, Fill::Photo)});
    {
        const auto made = Convert({(temp_ / "cover.tif").string(), "--author", "x", "--output-dir",
                                   (temp_ / "coverbook").string(), "--quiet"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const auto extracted = RunProgram(
            "unzip", {"-p", (temp_ / "coverbook" / "cover.epub").string(), "OEBPS/1.jpg"});
        std::ofstream(cover, std::ios::binary) << extracted.out;
    }

    auto result = Convert({scan.string(), "--author", "Ann Author", "--cover", cover.string(),
                           "--output-dir", OutDir(), "--jobs", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const fs::path book = temp_ / "out" / "Field Notes.epub";
    // The result line names the book and its size, in the unit that reads best.
    const std::string prefix = "Successed to build: " + book.string() + " (";
    ASSERT_TRUE(result.out.starts_with(prefix) && result.out.ends_with(")\n")) << result.out;
    std::istringstream size(result.out.substr(prefix.size()));
    double figure = 0;
    std::string unit;
    size >> figure >> unit;
    const double scale = unit == "KB)" ? 1e3 : unit == "MB)" ? 1e6 : 0;
    ASSERT_GT(scale, 0) << result.out;
    EXPECT_GE(figure, 1.0) << result.out;
    EXPECT_NEAR(figure * scale, static_cast<double>(fs::file_size(book)), scale / 2) << result.out;
    EXPECT_EQ(result.err, "");  // not a terminal: no progress bar
    const std::string entries = BookEntries(book);
    EXPECT_NE(entries.find("OEBPS/cover.jpeg "), std::string::npos) << entries;
    EXPECT_NE(entries.find("OEBPS/5.jpg "), std::string::npos) << entries;

    result = Convert({mdi.string(), "--title", "Memo / 2024", "--author", "B", "--output-dir",
                      OutDir(), "--quiet"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    testing::ExpectValidBooks({book, temp_ / "out" / "Memo _ 2024.epub"});
}

TEST_F(EndToEndTest, ExistingBookNeedsOverwriteAndFieldsAreChecked) {
    const fs::path scan = temp_ / "scan.tif";
    vellumark::testing::WriteTestTiff(scan, {Page(Layout::Grey8, Fill::Text)});
    const std::vector<std::string> args = {scan.string(), "--author", "A", "--output-dir",
                                           OutDir()};
    ASSERT_EQ(Convert(args).exitCode, 0);
    const std::string first = testing::ReadWhole(temp_ / "out" / "scan.epub");

    auto result = Convert(args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("--overwrite"), std::string::npos) << result.err;
    EXPECT_EQ(testing::ReadWhole(temp_ / "out" / "scan.epub"), first);

    auto overwrite = args;
    overwrite.push_back("--overwrite");
    EXPECT_EQ(Convert(overwrite).exitCode, 0);

    result = Convert({scan.string(), "--output-dir", OutDir()});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "vellumark: Please set the author name!\n");
    result = Convert({scan.string(), "--title", "", "--author", "A", "--output-dir", OutDir()});
    EXPECT_EQ(result.err, "vellumark: Please set the epub title!\n");
    result = Convert({scan.string(), "--author", "A", "--output-dir", ""});
    EXPECT_EQ(result.err, "vellumark: Please set the saving path!\n");
    for (const std::vector<std::string>& bad : {std::vector<std::string>{},
                                                {scan.string(), "--jobs", "0"},
                                                {scan.string(), "--bogus"},
                                                {scan.string(), "--author"},
                                                {scan.string(), scan.string()}}) {
        result = Convert(bad);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}

TEST_F(EndToEndTest, BadInputGivesOneLineAndLeavesNothing) {
    const fs::path inputs = temp_ / "in";
    fs::create_directories(inputs / "folder.tif");
    std::ofstream(inputs / "empty.tif");
    std::ofstream(inputs / "picture.tif", std::ios::binary)
        << std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << std::string(200, '\0');

    vellumark::testing::WriteTestTiff(inputs / "whole.tif", {Page(Layout::Grey8, Fill::Text)});
    const std::string whole = testing::ReadWhole(inputs / "whole.tif");
    std::ofstream(inputs / "truncated.tif", std::ios::binary) << whole.substr(0, whole.size() / 3);

    TestPage huge = Page(Layout::Bilevel, Fill::Text);
    huge.patchTags = {{256, 200000}, {257, 200000}};
    vellumark::testing::WriteTestTiff(inputs / "huge.tif", {huge});
    TestPage proprietary = Page(Layout::Bilevel, Fill::Text);
    proprietary.patchTags = {{259, 34718}};
    vellumark::testing::WriteTestMdi(inputs / "modi.mdi",
                                     {Page(Layout::Bilevel, Fill::Text), proprietary});

    ASSERT_EQ(::mkfifo((inputs / "pipe.tif").c_str(), 0600), 0);

    for (const char* name : {"missing.tif", "folder.tif", "pipe.tif", "empty.tif", "picture.tif",
                             "truncated.tif", "huge.tif", "modi.mdi"}) {
        const auto result =
            Convert({(inputs / name).string(), "--author", "A", "--output-dir", OutDir()});
        EXPECT_TRUE(result.exitCode == 1 || result.exitCode == 2)
            << name << ": " << result.exitCode;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << name << result.err;
        EXPECT_EQ(result.err.rfind("vellumark: ", 0), 0u) << name << result.err;
        EXPECT_EQ(result.out, "") << name;
        EXPECT_TRUE(!fs::exists(temp_ / "out") || fs::is_empty(temp_ / "out")) << name;
    }
}

}  // namespace
}  // namespace vellumark::epub
