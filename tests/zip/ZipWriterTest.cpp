// Archives written from folders, checked with independent readers and our own layout parser.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "ZipTestSupport.h"
#include "common/Error.h"
#include "zip/VCLZip.h"
#include "zip/ZipFolder.h"

using namespace ziptest;
using vellumark::zip::ZipFolderOptions;

namespace {

constexpr char kMimetype[] = "application/epub+zip";

// A working folder shaped like a book's.
void MakeBook(const fs::path& root) {
    WriteFile(root / "mimetype", kMimetype);
    WriteFile(root / "META-INF/container.xml", TextBytes(250));
    WriteFile(root / "OEBPS/fb.opf", TextBytes(3000));
    WriteFile(root / "OEBPS/1.jpg", RandomBytes(150 * 1024, 1));
    WriteFile(root / "OEBPS/page1.html", TextBytes(40 * 1024));
    WriteFile(root / "OEBPS/empty.txt", "");
    WriteFile(root / "OEBPS/tiny.bin", RandomBytes(100, 2));
    fs::create_directories(root / "OEBPS/nothing/deeper");
}

}  // namespace

TEST(ZipWriter, NothingToPackGivesTheBareEndRecord) {
    TempDir dir;
    fs::create_directories(dir / "empty/a/b");
    for (const fs::path& folder : {dir / "empty", dir / "missing"}) {
        const fs::path archive = dir / (folder.filename().string() + ".zip");
        ASSERT_EQ(Pack(archive, folder), "");
        const std::string bytes = ReadFile(archive);
        ASSERT_EQ(bytes.size(), 22u);
        EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x05\x06", 4));
        EXPECT_EQ(bytes.substr(4), std::string(18, '\0'));
        const PyReport py = ReadWithPython(archive);
        EXPECT_TRUE(py.readable);
        EXPECT_TRUE(py.entries.empty());
    }
}

TEST(ZipWriter, BookFolderIsPackedInOrderWithMimetypeFirstAndStored) {
    TempDir dir;
    MakeBook(dir / "book");
    const fs::path archive = dir / "book.epub";
    ASSERT_EQ(Pack(archive, dir / "book"), "");

    const std::string bytes = ReadFile(archive);
    // The first 38 + 20 bytes of every EPUB: stored mimetype, no extra field.
    EXPECT_EQ(bytes.substr(30, 8), "mimetype");
    EXPECT_EQ(bytes.substr(38, 20), kMimetype);
    const RawArchive raw = ParseArchive(bytes);
    ASSERT_TRUE(raw.ok) << raw.problem;
    for (const auto& e : raw.entries) {
        EXPECT_EQ(e.localExtra, 0) << e.name;
        EXPECT_EQ(e.centralExtra, 0) << e.name;
        EXPECT_EQ(e.versionMadeBy, 20) << e.name;
        EXPECT_EQ(e.flags, 0) << e.name;
    }

    const PyReport py = ReadWithPython(archive, dir / "book");
    ASSERT_TRUE(py.readable);
    EXPECT_EQ(py.testzip, "OK");
    const std::vector<std::string> expected = {
        "mimetype",     "META-INF/container.xml", "OEBPS/1.jpg",   "OEBPS/empty.txt",
        "OEBPS/fb.opf", "OEBPS/page1.html",       "OEBPS/tiny.bin"};
    EXPECT_EQ(py.Names(), expected);
    for (const auto& e : py.entries) {
        EXPECT_EQ(e.content, "same") << e.name;
        EXPECT_EQ(e.external, 32u) << e.name;
        EXPECT_EQ(e.createSystem, 0) << e.name;
    }
    const PyEntry* mimetype = py.Find("mimetype");
    EXPECT_EQ(mimetype->method, 0);
    EXPECT_EQ(mimetype->compressedSize, 20u);
    EXPECT_EQ(mimetype->internal, 1);

    const PyEntry* empty = py.Find("OEBPS/empty.txt");
    EXPECT_EQ(empty->method, 0);
    EXPECT_EQ(empty->size, 0u);
    EXPECT_EQ(empty->compressedSize, 0u);
    EXPECT_EQ(empty->crc, "00000000");
    EXPECT_EQ(empty->internal, 1);

    const PyEntry* tiny = py.Find("OEBPS/tiny.bin");  // small and incompressible: stored
    EXPECT_EQ(tiny->method, 0);
    EXPECT_EQ(tiny->compressedSize, 100u);
    EXPECT_EQ(tiny->internal, 0);

    const PyEntry* jpg = py.Find("OEBPS/1.jpg");  // large and incompressible: still deflated
    EXPECT_EQ(jpg->method, 8);
    EXPECT_EQ(jpg->internal, 0);

    const PyEntry* html = py.Find("OEBPS/page1.html");
    EXPECT_EQ(html->method, 8);
    EXPECT_LT(html->compressedSize, html->size / 4);
    EXPECT_EQ(html->internal, 1);

    EXPECT_TRUE(OtherReadersAccept(archive));
}

TEST(ZipWriter, TwoRunsAndAnyThreadCountGiveTheSameBytes) {
    TempDir dir;
    MakeBook(dir / "book");
    // Several pieces per file, partly compressible, so that pieces join across thread runs.
    WriteFile(dir / "book/OEBPS/big.bin",
              TextBytes(1500 * 1024) + RandomBytes(1200 * 1024, 3) + TextBytes(700 * 1024));
    for (int i = 0; i < 30; ++i) {
        WriteFile(dir / ("book/OEBPS/p" + std::to_string(i) + ".jpg"), RandomBytes(70000, 10 + i));
    }
    ZipFolderOptions one;
    one.jobs = 1;
    ZipFolderOptions many;
    many.jobs = 4;
    many.bytesInFlight = 512 * 1024;  // forces the pipeline to wait on its limit
    ASSERT_EQ(Pack(dir / "a.zip", dir / "book", one), "");
    ASSERT_EQ(Pack(dir / "b.zip", dir / "book", one), "");
    ASSERT_EQ(Pack(dir / "c.zip", dir / "book", many), "");
    const std::string a = ReadFile(dir / "a.zip");
    EXPECT_EQ(a, ReadFile(dir / "b.zip"));
    EXPECT_EQ(a, ReadFile(dir / "c.zip"));

    const PyReport py = ReadWithPython(dir / "c.zip", dir / "book");
    EXPECT_EQ(py.testzip, "OK");
    ASSERT_EQ(py.entries.size(), 38u);
    for (const auto& e : py.entries)
        EXPECT_EQ(e.content, "same") << e.name;
    EXPECT_TRUE(OtherReadersAccept(dir / "c.zip"));
}

TEST(ZipWriter, AttributesTimesAndDuplicates) {
    TempDir dir;
    const fs::path book = dir / "book";
    WriteFile(book / ".hidden", "h");
    WriteFile(book / "locked.txt", "read only");
    fs::permissions(book / "locked.txt", fs::perms::owner_read | fs::perms::group_read);
    WriteFile(book / "old.txt", "from the seventies");
    SetMtime(book / "old.txt", LocalTime(1975, 6, 1));
    WriteFile(book / "dated.txt", "dated");
    SetMtime(book / "dated.txt", LocalTime(2021, 3, 4, 5, 6, 7));  // odd second drops
    WriteFile(book / "Page.html", "upper");
    WriteFile(book / "page.html", "lower");  // same name but for case: skipped
    ASSERT_EQ(Pack(dir / "out.zip", book), "");

    const PyReport py = ReadWithPython(dir / "out.zip", book);
    EXPECT_EQ(py.testzip, "OK");
    const std::vector<std::string> expected = {".hidden", "dated.txt", "locked.txt", "old.txt",
                                               "Page.html"};
    EXPECT_EQ(py.Names(), expected);
    EXPECT_EQ(py.Find(".hidden")->external, 32u | 2u);
    EXPECT_EQ(py.Find("locked.txt")->external, 32u | 1u);
    EXPECT_EQ(py.Find("dated.txt")->dateTime, "2021-3-4 5:6:6");
    EXPECT_EQ(py.Find("Page.html")->content, "same");

    const RawArchive raw = ParseArchive(ReadFile(dir / "out.zip"));
    ASSERT_TRUE(raw.ok) << raw.problem;
    EXPECT_EQ(raw.entries[3].name, "old.txt");
    EXPECT_EQ(raw.entries[3].dosDateTime, 0xFFFFFFFFu);
}

TEST(ZipWriter, NonAsciiNamesAreUtf8WithTheirFlag) {
    TempDir dir;
    const fs::path book = dir / "book";
    WriteFile(book /
                  "OEBPS/\xC3\x9C"
                  "berschrift.html",
              "u");                                         // "Überschrift"
    WriteFile(book / "\xE5\xB0\x81\xE9\x9D\xA2.jpg", "c");  // two CJK characters
    WriteFile(book / "plain.txt", "p");
    WriteFile(book / "bad\xFF.txt", "not UTF-8");  // kept as its bytes, without the flag
    ASSERT_EQ(Pack(dir / "out.zip", book), "");

    const RawArchive raw = ParseArchive(ReadFile(dir / "out.zip"));
    ASSERT_TRUE(raw.ok) << raw.problem;
    ASSERT_EQ(raw.entries.size(), 4u);
    for (const auto& e : raw.entries) {
        const bool utf8 = e.name ==
                              "OEBPS/\xC3\x9C"
                              "berschrift.html" ||
                          e.name == "\xE5\xB0\x81\xE9\x9D\xA2.jpg";
        EXPECT_EQ(e.flags & 0x0800, utf8 ? 0x0800 : 0) << e.name;
    }
    const PyReport py = ReadWithPython(dir / "out.zip", book);
    EXPECT_EQ(py.testzip, "OK");
    for (const auto& e : py.entries)
        EXPECT_EQ(e.content, "same") << e.name;
}

TEST(ZipWriter, AnArchiveInsideTheFolderIsNotPackedIntoItself) {
    TempDir dir;
    MakeBook(dir / "book");
    const fs::path archive = dir / "book/OEBPS/self.epub";
    ASSERT_EQ(Pack(archive, dir / "book"), "");
    // The second run updates the archive, which now stands in the folder.
    SetMtime(dir / "book/OEBPS/fb.opf", std::time(nullptr) + 10);
    ASSERT_EQ(Pack(archive, dir / "book"), "");
    const PyReport py = ReadWithPython(archive, dir / "book");
    EXPECT_EQ(py.testzip, "OK");
    EXPECT_EQ(py.entries.size(), 7u);
    for (const auto& e : py.entries)
        EXPECT_EQ(e.name.find("self"), std::string::npos);
    EXPECT_EQ(ListFolder(dir / "book/OEBPS").size(), 7u);  // no temporary file left
}

TEST(ZipWriter, FailuresLeaveNothingBehind) {
    TempDir dir;
    MakeBook(dir / "book");
    // A device that fills up after 64 KiB: the writer's own message, and no file left over.
    vellumark::zip::TVCLZip zip;
    zip.SetRootDir((dir / "book").string());
    zip.SetRelativePaths(true);
    zip.ZipName = dir / "out/full.epub";
    zip.FilesList = {(dir / "book").string() + "/*.*"};
    fs::create_directories(dir / "out");
    zip.WrapDevice = FillingAfter(65536);
    try {
        zip.WriteArchive();
        FAIL() << "a full device must fail the write";
    } catch (const vellumark::Error& e) {
        EXPECT_EQ(e.Code(), vellumark::ErrorCode::NoRoom);
        EXPECT_STREQ(e.what(), "Not enough room to write archive");
    }
    EXPECT_TRUE(zip.FilesList.empty());
    EXPECT_TRUE(ListFolder(dir / "out").empty());

    // An output folder that does not exist: an error of one line saying why.
    const std::string error = Pack(dir / "nowhere/x.epub", dir / "book");
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(ZipWriter, FilesOf4GiBAreRefusedBeforeTheyAreRead) {
    TempDir dir;
    WriteFile(dir / "book/a.txt", "a");
    WriteFile(dir / "book/huge.bin", "");
    fs::resize_file(dir / "book/huge.bin", 4ull << 30);  // sparse: no disk space used
    const std::string error = Pack(dir / "out.zip", dir / "book");
    EXPECT_NE(error.find("4 GiB"), std::string::npos) << error;
    EXPECT_NE(error.find("huge.bin"), std::string::npos) << error;
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"book"});
}

TEST(ZipWriter, MoreThan65535EntriesAreRefused) {
    // 65,536 empty files: one more than the entry count field holds. Made in memory when the
    // system has a memory file system, since making them on disk is slow.
    TempDir dir("/dev/shm");
    const fs::path book = dir / "book";
    for (int folder = 0; folder < 64; ++folder) {
        const fs::path sub = book / std::to_string(folder);
        fs::create_directories(sub);
        for (int i = 0; i < 1024; ++i) {
            ::close(::open((sub / std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0644));
        }
    }
    const std::string error = Pack(dir / "out.zip", book);
    EXPECT_NE(error.find("65,535"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir / "out.zip"));
}
