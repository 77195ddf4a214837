// The two roads a book takes: the window's content folder packed whole, and the entries streamed
// straight into the archive. For the same document, identity and time both make the same bytes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "BookChecks.h"
#include "FakePages.h"
#include "TestTiff.h"
#include "common/Error.h"
#include "epub/BookSink.h"
#include "epub/ConversionJob.h"
#include "epub/Folders.h"
#include "imaging/Document.h"
#include "imaging/Jpeg.h"

namespace vellumark::epub {
namespace {
namespace fs = std::filesystem;
using testing::BookEntries;
using testing::RecordingReporter;
using vellumark::testing::TestPage;

const BookIdentity kIdentity{"0f8fad5b-d9cb-469f-a165-70867728950e", "2024-03-01",
                             "2024-03-01T09:30:00Z"};

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> EntryNames(const fs::path& book) {
    std::istringstream lines(BookEntries(book));
    std::vector<std::string> names;
    for (std::string line; std::getline(lines, line);)
        names.push_back(line.substr(0, line.find(' ')));
    return names;
}

class BookSinkTest : public ::testing::Test {
protected:
    // Twelve pages (so that names sort 1, 10, 11, 12, 2, ...) of every kind.
    BookSinkTest() {
        std::vector<TestPage> layout(12);
        for (std::size_t i = 0; i < layout.size(); ++i) {
            layout[i].width = 120;
            layout[i].height = 90;
            layout[i].xResolution = layout[i].yResolution = 150;
            layout[i].layout = i % 3 == 0   ? vellumark::testing::Layout::Bilevel
                               : i % 3 == 1 ? vellumark::testing::Layout::Grey8
                                            : vellumark::testing::Layout::Rgb;
        }
        vellumark::testing::WriteTestTiff(temp_ / "scan.tif", layout);
        document_ = imaging::Document::Open(temp_ / "scan.tif");
        const imaging::Picture cover{16, 24, std::vector<std::uint8_t>(16 * 24 * 3, 200)};
        const auto jpeg = imaging::EncodeJpeg(cover);
        std::ofstream(temp_ / "cover.jpg", std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
    }

    // Converts on the given road into its own output folder; returns the book.
    fs::path Make(ConversionSettings settings, BookSinkKind sink, const std::string& name,
                  unsigned jobs) {
        const WorkingFolder working = WorkingFolder::CreatePrivate(VELLUMARK_TEST_EPUBFILES);
        settings.title = "Sink Book";
        settings.author = "Ann Author";
        settings.outputFolder = (temp_ / name).string();
        settings.sink = sink;
        settings.jobs = jobs;
        settings.workingFolder =
            sink == BookSinkKind::Archive ? fs::path(VELLUMARK_TEST_EPUBFILES) : working.Path();
        RecordingReporter reporter;
        const ConversionResult result = Convert(document_.get(), settings, reporter, kIdentity);
        EXPECT_EQ(result.outcome, ConversionOutcome::Succeeded) << result.message;
        return OutputPathFor(settings);
    }

    vellumark::testing::TempFolder temp_;
    std::shared_ptr<const imaging::Document> document_;
};

TEST_F(BookSinkTest, BothRoadsMakeTheSameBytesInEveryFormat) {
    struct Case {
        const char* name;
        BookFormat format;
        bool cover;
        std::optional<PageBox> box;
        bool text;
    };
    const imaging::TextLayer::Reader reader = [](const imaging::PageSource&, int page, auto*) {
        std::vector<imaging::Word> words;
        if (page % 2 == 0)
            words = {{"Quasar", 4, 4, 30, 10, true}, {"ahead", 36, 4, 24, 10, true}};
        return words;
    };
    std::vector<fs::path> books;
    for (const Case& c : {Case{"epub2", BookFormat::Epub2, false, {}, false},
                          Case{"epub2-cover", BookFormat::Epub2, true, {}, false},
                          Case{"epub3", BookFormat::Epub3, true, {}, false},
                          Case{"epub3-profile", BookFormat::Epub3, false, PageBox{60, 80}, false},
                          Case{"epub3-text", BookFormat::Epub3, true, {}, true},
                          Case{"reflow", BookFormat::Reflow, true, {}, true}}) {
        ConversionSettings settings;
        settings.format = c.format;
        settings.pageBox = c.box;
        if (c.cover)
            settings.cover = (temp_ / "cover.jpg").string();
        if (c.text)
            settings.text = std::make_shared<const imaging::TextLayer>(document_, reader);
        const std::string name = c.name;
        const fs::path folder = Make(settings, BookSinkKind::ContentFolder, name + "-folder", 2);
        const fs::path streamed = Make(settings, BookSinkKind::Archive, name + "-stream", 1);
        const fs::path threads = Make(settings, BookSinkKind::Archive, name + "-threads", 3);
        const std::string bytes = ReadBytes(folder);
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_TRUE(ReadBytes(streamed) == bytes) << name;
        EXPECT_TRUE(ReadBytes(threads) == bytes) << name;

        const std::vector<std::string> names = EntryNames(streamed);
        ASSERT_GE(names.size(), 20u) << name;
        EXPECT_EQ(names[0], "mimetype");
        EXPECT_EQ(names[1], "META-INF/container.xml");
        EXPECT_TRUE(std::is_sorted(names.begin() + 2, names.end())) << name;
        books.push_back(streamed);
        if (c.format == BookFormat::Reflow)
            continue;  // its text in chapters, its pages' pictures as figures
        ASSERT_GE(names.size(), 29u) << name;
        const std::string picture = c.format == BookFormat::Epub2 ? ".jpg" : ".png";
        EXPECT_EQ(names[2], "OEBPS/1" + picture) << name;
        EXPECT_EQ(names[3], "OEBPS/10" + picture) << name;
        EXPECT_EQ(names[4], "OEBPS/11.jpg") << name;
        EXPECT_EQ(names[6], "OEBPS/2.jpg") << name;
    }
    testing::ExpectValidBooks(books);
}

// A sink that records what it is given.
class RecordingSink final : public BookSink {
public:
    void Add(const std::string& name, std::vector<std::uint8_t> bytes) override {
        added.emplace_back(name, std::string(bytes.begin(), bytes.end()));
    }
    void Commit(const fs::path&, bool) override {}
    std::vector<std::pair<std::string, std::string>> added;
};

TEST(OrderedFilesTest, KeptFilesWaitForTheFilesThatSortBeforeThem) {
    RecordingSink sink;
    OrderedFiles files(sink);
    files.Keep("OEBPS/page1.html", std::string("p1"));
    files.Keep("OEBPS/cover.jpg", std::string("c"));
    files.AddNow("OEBPS/1.jpg", {'1'});
    files.Keep("OEBPS/page10.html", std::string("p10"));
    files.AddNow("OEBPS/10.jpg", {'t'});
    EXPECT_EQ(sink.added.size(), 2u);
    files.AddNow("OEBPS/fb.opf", {'o'});  // after the cover, before the pages
    files.Finish();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"OEBPS/1.jpg", "1"},  {"OEBPS/10.jpg", "t"},      {"OEBPS/cover.jpg", "c"},
        {"OEBPS/fb.opf", "o"}, {"OEBPS/page1.html", "p1"}, {"OEBPS/page10.html", "p10"}};
    EXPECT_EQ(sink.added, expected);
    // A file that would have to stand before one already given is a fault of the caller.
    EXPECT_THROW(files.AddNow("OEBPS/2.jpg", {'2'}), Error);
    EXPECT_THROW(files.Keep("OEBPS/a.css", std::string("a")), Error);
}

}  // namespace
}  // namespace vellumark::epub
