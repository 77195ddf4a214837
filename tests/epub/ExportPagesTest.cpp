#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <mutex>
#include <stop_token>
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

TEST(ExportPagesTest, APageThrowingNoStdExceptionFailsTheExportInsteadOfHangingIt) {
    for (unsigned jobs : {1u, 2u}) {
        FakePages pages(6);
        pages.ThrowForeignOn(3);
        vellumark::testing::TempFolder folder;
        ExportOptions options;
        options.jobs = jobs;
        try {
            ExportPages(pages, 6, folder.Path(), options);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.Page(), 3) << e.what();
            EXPECT_EQ(e.Code(), ErrorCode::Internal);
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
    const imaging::TextLayer text(document, [](const imaging::PageSource&, int page, auto*) {
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
    EXPECT_NE(files.at("page1.xhtml").find(">Quasar</tspan> <tspan"), std::string::npos);
    EXPECT_NE(files.at("page1.xhtml").find(">ahead</tspan>"), std::string::npos);
    EXPECT_EQ(files.at("page2.xhtml").find("class=\"ocr\""), std::string::npos);
    EXPECT_FALSE(files.contains("page1.html"));
}

// Bit depth and colour type of a PNG, from its header.
std::pair<int, int> PngDepthAndType(const std::string& png) {
    EXPECT_EQ(png.substr(1, 3), "PNG");
    return {static_cast<unsigned char>(png[24]), static_cast<unsigned char>(png[25])};
}

// Width, height and component count of a baseline JPEG, from its frame header.
std::array<int, 3> JpegFrame(const std::string& jpeg) {
    const auto at = jpeg.find("\xff\xc0");
    EXPECT_NE(at, std::string::npos);
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(jpeg[at + i]); };
    return {byte(7) << 8 | byte(8), byte(5) << 8 | byte(6), byte(9)};
}

TEST(ExportPagesTest, EachKindOfPageGetsThePictureThatSuitsItAtTheScreensSize) {
    vellumark::testing::TempFolder folder;
    std::vector<vellumark::testing::TestPage> layout(3);
    for (auto& page : layout) {
        page.width = 300;
        page.height = 400;
        page.xResolution = page.yResolution = 300;
    }
    layout[0].layout = vellumark::testing::Layout::Bilevel;
    layout[1].layout = vellumark::testing::Layout::Grey8;
    layout[2].layout = vellumark::testing::Layout::Rgb;
    vellumark::testing::WriteTestTiff(folder / "scan.tif", layout);
    const std::shared_ptr<const imaging::Document> document =
        imaging::Document::Open(folder / "scan.tif");
    // Words are read in the page's own pixels.
    const imaging::TextLayer text(document, [](const imaging::PageSource&, int, auto*) {
        return std::vector<imaging::Word>{{"word", 100, 200, 60, 20, true}};
    });
    ExportOptions options;
    options.format = BookFormat::Epub3;
    options.fit = PageBox{150, 150};
    options.quality = 70;
    options.text = &text;
    const fs::path content = folder / "OEBPS";
    fs::create_directory(content);
    const std::vector<BookPage> pages = ExportPages(*document, 3, content, options);
    const auto files = FolderContents(content);

    // 300 x 400 into 150 x 150: 112.5 rounds to 113.
    ASSERT_EQ(pages[0].pictureName, "1.png");
    EXPECT_EQ(pages[0].mediaType, "image/png");
    const std::string& png = files.at("1.png");
    EXPECT_EQ(PngDepthAndType(png), (std::pair{2, 0}));                    // 4 grey levels
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x71\0\0\0\x96", 8));  // 113 x 150
    EXPECT_EQ(pages[1].pictureName, "2.jpg");
    EXPECT_EQ(JpegFrame(files.at("2.jpg")), (std::array{113, 150, 1}));  // grey: one component
    EXPECT_EQ(JpegFrame(files.at("3.jpg")), (std::array{113, 150, 3}));
    for (int n = 1; n <= 3; ++n) {
        const BookPage& page = pages[static_cast<std::size_t>(n - 1)];
        EXPECT_EQ(page.width, 113);
        EXPECT_EQ(page.height, 150);
        const std::string& xhtml = files.at("page" + std::to_string(n) + ".xhtml");
        // The viewport is the picture, and the words are placed in its pixels.
        EXPECT_NE(xhtml.find("content=\"width=113, height=150\""), std::string::npos);
        EXPECT_NE(xhtml.find("<text x=\"37.67\" y=\"81\" font-size=\"7.5\">"), std::string::npos)
            << xhtml;
    }
}

TEST(ExportPagesTest, AStopStopsARecognitionUnderWay) {
    vellumark::testing::TempFolder folder;
    const auto document = SmallScan(folder / "scan.tif", 4);
    std::atomic<bool> sawCancel = false;
    std::promise<void> started;
    std::once_flag once;
    const imaging::TextLayer text(document, [&](const imaging::PageSource&, int,
                                                const imaging::TextLayer::CancelFlag* cancel) {
        std::call_once(once, [&] { started.set_value(); });
        // A recognition that would take a minute unless told to stop.
        for (int i = 0; i < 6000 && !(cancel && cancel->load()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        sawCancel = cancel && cancel->load();
        throw Error(ErrorCode::Cancelled, "stopped");
        return std::vector<imaging::Word>{};
    });
    std::stop_source stop;
    ExportOptions options;
    options.format = BookFormat::Epub3;
    options.text = &text;
    options.jobs = 2;
    options.stop = stop.get_token();
    // Told from another thread once a recognition is under way; the export is not asked again
    // before a page ends, so only the stop itself can end the recognition.
    std::jthread canceller([&] {
        started.get_future().wait();
        stop.request_stop();
    });
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
