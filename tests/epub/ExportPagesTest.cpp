#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "FakePages.h"
#include "TestTiff.h"
#include "common/Error.h"
#include "epub/ImagePage.h"
#include "epub/PageExport.h"
#include "imaging/Document.h"

namespace vellumark::epub {
namespace {
namespace fs = std::filesystem;
using testing::FakePages;

std::map<std::string, std::string> FolderContents(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        contents[entry.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), {});
    }
    return contents;
}

TEST(ExportPagesTest, TwelvePagesGiveUnpaddedNamesAndTheSameFilesOnAnyNumberOfThreads) {
    FakePages pages(12);
    pages.SlowDown();
    vellumark::testing::TempFolder one, three;
    ExportOptions options;
    options.languageTag = "en-US";
    options.jobs = 1;
    ExportPages(pages, 12, one.Path(), options);
    EXPECT_EQ(pages.MostAtOnce(), 1);
    options.jobs = 3;
    ExportPages(pages, 12, three.Path(), options);
    EXPECT_LE(pages.MostAtOnce(), 3);

    const auto files = FolderContents(one.Path());
    ASSERT_EQ(files.size(), 24u);
    for (int n = 1; n <= 12; ++n) {
        const std::string jpeg = files.at(std::to_string(n) + ".jpg");
        EXPECT_EQ(jpeg.substr(0, 3), "\xff\xd8\xff");
        EXPECT_EQ(files.at("page" + std::to_string(n) + ".html"),
                  ImagePageText(std::to_string(n) + ".jpg", "page" + std::to_string(n), "en-US"));
    }
    EXPECT_NE(files.at("1.jpg"), files.at("2.jpg"));
    EXPECT_TRUE(FolderContents(three.Path()) == files);
}

TEST(ExportPagesTest, ReportsTheLowestFailingPageAndStops) {
    for (unsigned jobs : {1u, 2u}) {
        FakePages pages(40);
        pages.FailOn(2);
        pages.FailOn(4);
        vellumark::testing::TempFolder folder;
        ExportOptions options;
        options.jobs = jobs;
        try {
            ExportPages(pages, 40, folder.Path(), options);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.Page(), 2) << e.what();
            EXPECT_EQ(e.Code(), ErrorCode::BadInput);
        }
        EXPECT_TRUE(fs::exists(folder / "2.jpg"));
        EXPECT_FALSE(fs::exists(folder / "3.jpg"));
        // With more threads a page after the failing one may already be under way.
        if (jobs == 1) {
            EXPECT_FALSE(fs::exists(folder / "4.jpg"));
        }
    }
}

TEST(ExportPagesTest, ProgressAndCancellationStayOnTheCallingThread) {
    FakePages pages(30);
    vellumark::testing::TempFolder folder;
    const auto caller = std::this_thread::get_id();
    bool elsewhere = false;
    int lastDone = 0;
    ExportOptions options;
    options.jobs = 2;
    options.progress = [&](int done, int total) {
        elsewhere |= std::this_thread::get_id() != caller;
        EXPECT_EQ(total, 30);
        EXPECT_GE(done, lastDone);
        lastDone = done;
    };
    ExportPages(pages, 30, folder.Path(), options);
    EXPECT_EQ(lastDone, 30);

    vellumark::testing::TempFolder stopped;
    lastDone = 0;
    options.cancelRequested = [&] {
        elsewhere |= std::this_thread::get_id() != caller;
        return lastDone >= 2;
    };
    try {
        ExportPages(pages, 30, stopped.Path(), options);
        ADD_FAILURE() << "not cancelled";
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::Cancelled);
    }
    EXPECT_FALSE(fs::exists(stopped / "30.jpg"));
    EXPECT_FALSE(elsewhere);
}

std::shared_ptr<const imaging::Document> SmallScan(const fs::path& path, int pages) {
    vellumark::testing::WriteTestTiff(path, std::vector<vellumark::testing::TestPage>(pages));
    return imaging::Document::Open(path);
}

TEST(ExportPagesTest, FixedLayoutPagesCarryTheirWordsAndPagesWithoutWordsNone) {
    vellumark::testing::TempFolder folder;
    const auto document = SmallScan(folder / "scan.tif", 2);
    const imaging::TextLayer text(document, [](const imaging::Document&, int page, auto*) {
        std::vector<imaging::Word> words;
        if (page == 0)
            words = {{"Quasar", 4, 4, 30, 10, true}, {"ahead", 36, 4, 24, 10, true}};
        return words;
    });
    ExportOptions options;
    options.format = BookFormat::Epub3;
    options.text = &text;
    options.languageTag = "en";
    const fs::path content = folder / "OEBPS";
    fs::create_directory(content);
    const std::vector<BookPage> pages = ExportPages(*document, 2, content, options);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(pages[0].hasText);
    EXPECT_FALSE(pages[1].hasText);
    EXPECT_EQ(pages[1].pictureName, "2.jpg");
    EXPECT_EQ(pages[1].width, 64);
    EXPECT_EQ(pages[1].height, 48);
    const auto files = FolderContents(content);
    EXPECT_NE(files.at("page1.xhtml").find(">Quasar </span><span"), std::string::npos);
    EXPECT_NE(files.at("page1.xhtml").find(">ahead</span>"), std::string::npos);
    EXPECT_EQ(files.at("page2.xhtml").find("class=\"ocr\""), std::string::npos);
    EXPECT_FALSE(files.contains("page1.html"));
}

TEST(ExportPagesTest, ACancelStopsARecognitionUnderWay) {
    vellumark::testing::TempFolder folder;
    const auto document = SmallScan(folder / "scan.tif", 4);
    std::atomic<bool> sawCancel = false;
    const imaging::TextLayer text(
        document, [&](const imaging::Document&, int, const imaging::TextLayer::CancelFlag* cancel) {
            // A recognition that would take a minute unless told to stop.
            for (int i = 0; i < 6000 && !(cancel && cancel->load()); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            sawCancel = cancel && cancel->load();
            throw Error(ErrorCode::Cancelled, "stopped");
            return std::vector<imaging::Word>{};
        });
    ExportOptions options;
    options.format = BookFormat::Epub3;
    options.text = &text;
    options.jobs = 2;
    const auto start = std::chrono::steady_clock::now();
    options.cancelRequested = [&] {
        return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(200);
    };
    try {
        ExportPages(*document, 4, folder.Path(), options);
        ADD_FAILURE() << "not cancelled";
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::Cancelled);
        EXPECT_STREQ(e.what(), "The conversion was cancelled.");
    }
    EXPECT_TRUE(sawCancel);
}

TEST(ExportPagesTest, UnwritableFolderIsAnIoError) {
    FakePages pages(2);
    vellumark::testing::TempFolder folder;
    try {
        ExportPages(pages, 2, folder / "missing");
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::Io);
        EXPECT_EQ(e.Page(), std::nullopt);
    }
    ExportPages(pages, 0, folder / "missing");  // nothing to write, nothing to fail
}

}  // namespace
}  // namespace vellumark::epub
