// Comic archives and single page images from the command line: what `info` says of them, the
// books `convert` makes, and the refusals, run as the built program.

#include <gtest/gtest.h>

#include <fstream>

#include "CommandLineChecks.h"
#include "RunProgram.h"
#include "TestTiff.h"
#include "imaging/Jpeg.h"
#include "imaging/Png.h"

namespace vellumark::cli {
namespace {
namespace fs = std::filesystem;
using vellumark::testing::ExpectAccessibleBook;
using vellumark::testing::ExpectScanRefused;
using vellumark::testing::ExpectValidBook;
using vellumark::testing::ExpectValidBooks;
using vellumark::testing::RunProgram;
using vellumark::testing::RunResult;
using vellumark::testing::TempFolder;
using vellumark::testing::Vellumark;

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A page of text-like bars, 150 dpi A5.
imaging::GreyPicture Page(int seed) {
    imaging::GreyPicture page{874, 1240, std::vector<std::uint8_t>(874u * 1240u, 255)};
    for (int line = 0; line < 30; ++line) {
        const int top = 100 + line * 34, length = 500 + (line * 37 + seed * 53) % 200;
        for (int y = top; y < top + 14; ++y)
            for (int x = 90; x < 90 + length; ++x)
                page.pixels[std::size_t(y) * 874 + std::size_t(x)] = 20;
    }
    return page;
}

// The files in `folder`, zipped as `archive` with bsdtar (names as given, in that order).
void Zip(const fs::path& folder, const fs::path& archive, const std::vector<std::string>& names) {
    std::vector<std::string> args = {"--format",       "zip", "-cf",
                                     archive.string(), "-C",  folder.string()};
    args.insert(args.end(), names.begin(), names.end());
    const RunResult result = RunProgram("bsdtar", args);
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

TEST(PageImagesCommandTest, AComicArchiveBecomesAValidBookInEveryFormat) {
    TempFolder temp;
    fs::create_directory(temp / "pages");
    WriteBytes(temp / "pages" / "p1.png", imaging::EncodeGreyPng(Page(1), 256));
    WriteBytes(temp / "pages" / "p2.png", imaging::EncodeGreyPng(Page(2), 2));
    imaging::Picture colour{874, 1240, std::vector<std::uint8_t>(874u * 1240u * 3, 200), 3};
    WriteBytes(temp / "pages" / "p10.jpg", imaging::EncodeJpeg(colour));
    const fs::path comic = temp / "Story.cbz";
    Zip(temp / "pages", comic, {"p10.jpg", "p2.png", "p1.png"});

    const RunResult info = Vellumark({"info", comic.string(), "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\"kind\": \"comic archive\""), std::string::npos) << info.out;
    const std::size_t p1 = info.out.find("\"source\": \"p1.png\""),
                      p10 = info.out.find("\"source\": \"p10.jpg\"");
    EXPECT_LT(p1, p10) << info.out;
    EXPECT_NE(p10, std::string::npos) << info.out;

    std::vector<fs::path> books;
    for (const std::string format : {"epub2", "epub3"}) {
        const fs::path out = temp / format;
        const RunResult run = Vellumark({"convert", comic.string(), "--author", "Ada", "--format",
                                         format, "--output-dir", out.string(), "--quiet"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "");
        books.push_back(out / "Story.epub");
        if (format == "epub3")
            ExpectAccessibleBook(out / "Story.epub");
    }
    // A single page image is a book of one page.
    const RunResult one = Vellumark({"convert", (temp / "pages" / "p2.png").string(), "--author",
                                     "Ada", "--output-dir", (temp / "one").string(), "--quiet"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    books.push_back(temp / "one" / "p2.epub");
    ExpectValidBooks(books);
}

TEST(PageImagesCommandTest, AnArchiveThatClimbsOutOrHoldsOtherFilesIsRefused) {
    TempFolder temp;
    fs::create_directories(temp / "in" / "sub");
    WriteBytes(temp / "in" / "sub" / "p1.png", imaging::EncodeGreyPng(Page(1), 2));
    std::ofstream(temp / "in" / "run.sh") << "#!/bin/sh\n";
    Zip(temp / "in", temp / "other.cbz", {"sub/p1.png", "run.sh"});
    // bsdtar keeps a name that climbs out when told to (-P).
    const RunResult climb =
        RunProgram("bsdtar", {"--format", "zip", "-P", "-cf", (temp / "climb.cbz").string(), "-C",
                              (temp / "in" / "sub").string(), "p1.png", "../sub/p1.png"});
    ASSERT_EQ(climb.exitCode, 0) << climb.err;
    ExpectScanRefused(temp.Path(), "other.cbz", "not a JPEG or PNG page image: run.sh");
    ExpectScanRefused(temp.Path(), "climb.cbz", "climbs out of the archive: ../sub/p1.png");
}

TEST(PageImagesCommandTest, AFolderOfPageImagesIsOneBookTitledAfterIt) {
    TempFolder temp;
    const fs::path shelf = temp / "shelf";
    fs::create_directories(shelf / "1999" / "Letters");
    fs::create_directories(shelf / "covers");
    WriteBytes(shelf / "1999" / "Letters" / "scan2.png", imaging::EncodeGreyPng(Page(2), 2));
    WriteBytes(shelf / "1999" / "Letters" / "scan10.png", imaging::EncodeGreyPng(Page(3), 2));
    // Pictures beside other files are covers or notes, not a book.
    WriteBytes(shelf / "covers" / "front.png", imaging::EncodeGreyPng(Page(1), 2));
    std::ofstream(shelf / "covers" / "metadata.csv") << "input,title\n";

    const RunResult run = Vellumark({"convert", shelf.string(), "--author", "Ada", "--output-dir",
                                     (temp / "out").string(), "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectValidBook(temp / "out" / "1999" / "Letters.epub");
    EXPECT_FALSE(fs::exists(temp / "out" / "covers.epub"));
    const RunResult one =
        Vellumark({"convert", (shelf / "1999" / "Letters").string() + "/", "--author", "Ada",
                   "--output-dir", (temp / "one").string(), "--quiet"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_TRUE(fs::exists(temp / "one" / "Letters.epub"));
}

}  // namespace
}  // namespace vellumark::cli
