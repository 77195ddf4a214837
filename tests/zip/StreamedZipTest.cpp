// Archives written entry by entry from memory: the same bytes as the folder packer for the same
// files, whole or nothing on disk.

#include <gtest/gtest.h>

#include "ZipTestSupport.h"
#include "common/Error.h"
#include "zip/ArchiveFile.h"
#include "zip/StreamedZip.h"

using namespace ziptest;
using vellumark::ErrorCode;
using vellumark::zip::EntryMethod;
using vellumark::zip::StreamedZip;
using vellumark::zip::StreamedZipOptions;

namespace {

struct Entry {
    std::string name;
    std::string bytes;
};

// A book's files in the order the folder packer walks them: a picture of several pieces, text,
// an incompressible small file (stored), an empty one, a hidden one and a non-ASCII name.
std::vector<Entry> BookEntries() {
    return {
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml", TextBytes(250)},
        {"OEBPS/.hidden", "h"},
        {"OEBPS/1.jpg", RandomBytes(2500 * 1024, 1) + TextBytes(300 * 1024)},
        {"OEBPS/empty.txt", ""},
        {"OEBPS/fb.opf", TextBytes(3000)},
        {"OEBPS/page1.html", TextBytes(40 * 1024)},
        {"OEBPS/tiny.bin", RandomBytes(100, 2)},
        {"OEBPS/\xC3\x9C"
         "ber.html",
         TextBytes(500)},
    };
}

std::time_t BookTime() {
    return LocalTime(2024, 5, 6, 7, 8, 10);
}

void Stream(const fs::path& archive, const std::vector<Entry>& entries, unsigned jobs,
            std::size_t bytesInFlight = 64 * 1024 * 1024) {
    StreamedZipOptions options;
    options.jobs = jobs;
    options.time = BookTime();
    options.bytesInFlight = bytesInFlight;
    StreamedZip zip(archive, options);
    for (const Entry& entry : entries) {
        zip.Add(entry.name, entry.bytes,
                entry.name == "mimetype" ? EntryMethod::Stored : EntryMethod::Deflated);
    }
    zip.Commit();
}

}  // namespace

TEST(StreamedZip, GivesTheFolderPackersBytesForAnyThreadCount) {
    TempDir dir;
    const std::vector<Entry> entries = BookEntries();
    for (const Entry& entry : entries) {
        WriteFile(dir / ("book/" + entry.name), entry.bytes);
        SetMtime(dir / ("book/" + entry.name), BookTime());
    }
    ASSERT_EQ(Pack(dir / "packed.epub", dir / "book"), "");
    Stream(dir / "one.epub", entries, 1);
    Stream(dir / "three.epub", entries, 3, 256 * 1024);  // waits on its limit

    const std::string packed = ReadFile(dir / "packed.epub");
    EXPECT_EQ(ReadFile(dir / "one.epub"), packed);
    EXPECT_EQ(ReadFile(dir / "three.epub"), packed);

    const PyReport py = ReadWithPython(dir / "three.epub", dir / "book");
    EXPECT_EQ(py.testzip, "OK");
    ASSERT_EQ(py.entries.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(py.entries[i].name, entries[i].name);
        EXPECT_EQ(py.entries[i].content, "same") << entries[i].name;
    }
    EXPECT_EQ(py.Find("mimetype")->method, 0);
    EXPECT_EQ(py.Find("OEBPS/tiny.bin")->method, 0);
    EXPECT_EQ(py.Find("OEBPS/1.jpg")->method, 8);
    EXPECT_EQ(py.Find("OEBPS/.hidden")->external, 32u | 2u);
    EXPECT_EQ(py.Find("OEBPS/fb.opf")->dateTime, "2024-5-6 7:8:10");
    EXPECT_TRUE(OtherReadersAccept(dir / "three.epub"));
    EXPECT_EQ(ListFolder(dir.Path()),
              (std::vector<std::string>{"book", "one.epub", "packed.epub", "three.epub"}));
}

TEST(StreamedZip, NothingIsLeftWithoutACommitOrAfterAFailure) {
    TempDir dir;
    {
        StreamedZip zip(dir / "abandoned.epub");
        zip.Add("a.txt", TextBytes(1000));
        EXPECT_EQ(zip.TemporaryPath().parent_path(), dir.Path());
        EXPECT_TRUE(fs::exists(zip.TemporaryPath()));
    }
    EXPECT_TRUE(ListFolder(dir.Path()).empty());

    // A full disk: the writer's own error, and no file left over.
    StreamedZipOptions options;
    options.jobs = 2;
    options.wrapDevice = FillingAfter(65536);
    try {
        StreamedZip zip(dir / "full.epub", options);
        for (const Entry& entry : BookEntries())
            zip.Add(entry.name, entry.bytes);
        zip.Commit();
        FAIL() << "a full device must fail the write";
    } catch (const vellumark::Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::NoRoom);
    }
    EXPECT_TRUE(ListFolder(dir.Path()).empty());
}

TEST(StreamedZip, ReplacesAFileOnlyWhenAskedTo) {
    TempDir dir;
    const fs::path target = dir / "book.epub";
    WriteFile(target, "old book");
    {
        StreamedZip zip(target);
        zip.Add("a.txt", std::string_view("new"));
        try {
            zip.Commit();
            FAIL() << "a file standing under the name must not be replaced";
        } catch (const vellumark::Error& e) {
            EXPECT_EQ(e.Code(), ErrorCode::Io);
        }
        EXPECT_THROW(zip.Add("b.txt", std::string_view("b")), vellumark::Error);
    }
    EXPECT_EQ(ReadFile(target), "old book");
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"book.epub"});

    StreamedZip zip(target);
    zip.Add("a.txt", std::string_view("new"));
    zip.Commit(true);
    EXPECT_EQ(ReadWithPython(target).entries.size(), 1u);
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"book.epub"});
}

TEST(StreamedZip, RefusesWhatTheFormatCannotHold) {
    TempDir dir("/dev/shm");
    StreamedZipOptions options;
    options.jobs = 1;
    StreamedZip zip(dir / "many.zip", options);
    EXPECT_THROW(zip.Add("", std::string_view("x")), vellumark::Error);
    StreamedZip names(dir / "names.zip", options);
    try {
        names.Add(std::string(70000, 'n'), std::string_view("x"));
        FAIL() << "a name longer than 65,535 bytes must be refused";
    } catch (const vellumark::Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::TooLarge);
    }
    StreamedZip count(dir / "count.zip", options);
    try {
        for (int i = 0; i <= 65535; ++i)
            count.Add(std::to_string(i), std::string_view());
        FAIL() << "65,536 entries must be refused";
    } catch (const vellumark::Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::TooLarge);
        EXPECT_NE(std::string(e.what()).find("65,535"), std::string::npos);
    }
}
