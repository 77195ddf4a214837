// Packing onto a file that already stands under the archive name: the archive is updated, or,
// when the file is no archive, the write fails and leaves it exactly as it was.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "ZipTestSupport.h"
#include "common/Error.h"
#include "zip/VCLZip.h"

using namespace ziptest;

namespace {

// Points the system's temporary folder at a private one, so a test can see what is left there.
class PrivateTmp {
public:
    PrivateTmp() {
        const char* old = std::getenv("TMPDIR");
        if (old)
            old_ = old;
        hadOld_ = old != nullptr;
        fs::create_directories(dir_ / "tmp");
        ::setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
    }
    ~PrivateTmp() {
        if (hadOld_) {
            ::setenv("TMPDIR", old_.c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }
    // Temporary archives left there (the tests' own folders may be there too).
    std::vector<std::string> Left() const {
        std::vector<std::string> left;
        for (const auto& name : ListFolder(dir_ / "tmp")) {
            if (name.starts_with("KPZ"))
                left.push_back(name);
        }
        return left;
    }

private:
    TempDir dir_;
    std::string old_;
    bool hadOld_ = false;
};

std::string Hex(const std::string& bytes) {
    static const char* kDigits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

}  // namespace

TEST(ZipUpdate, KeepsOldEntriesReplacesOlderOnesAndAddsNewFiles) {
    PrivateTmp tmp;
    TempDir dir;
    const fs::path book = dir / "book";
    const std::time_t earlier = LocalTime(2020, 1, 1);
    WriteFile(book / "mimetype", "application/epub+zip");
    WriteFile(book / "a.txt", "old a");
    WriteFile(book / "b.txt", "old b");
    WriteFile(book / "gone.txt", "gone");
    for (const char* name : {"mimetype", "a.txt", "b.txt", "gone.txt"})
        SetMtime(book / name, earlier);
    const fs::path archive = dir / "book.epub";
    ASSERT_EQ(Pack(archive, book), "");
    ::chmod(archive.c_str(), 0640);

    WriteFile(book / "a.txt", "new a");  // newer than its entry: replaced in its place
    SetMtime(book / "a.txt", LocalTime(2021, 1, 1));
    WriteFile(book / "b.txt", "new b");  // older than its entry: the entry stays
    SetMtime(book / "b.txt", LocalTime(2019, 1, 1));
    fs::remove(book / "gone.txt");  // no longer produced: the entry stays
    WriteFile(book / "c.txt", "new c");
    ASSERT_EQ(Pack(archive, book), "");

    const PyReport py = ReadWithPython(archive);
    EXPECT_EQ(py.testzip, "OK");
    const std::vector<std::string> expected = {"mimetype", "a.txt", "b.txt", "gone.txt", "c.txt"};
    ASSERT_EQ(py.Names(), expected);
    EXPECT_EQ(py.Find("a.txt")->content, Hex("new a"));
    EXPECT_EQ(py.Find("b.txt")->content, Hex("old b"));
    EXPECT_EQ(py.Find("gone.txt")->content, Hex("gone"));
    EXPECT_EQ(py.Find("c.txt")->content, Hex("new c"));
    const RawArchive raw = ParseArchive(ReadFile(archive));
    EXPECT_TRUE(raw.ok) << raw.problem;
    EXPECT_TRUE(OtherReadersAccept(archive));

    struct stat st {};
    ASSERT_EQ(::stat(archive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);  // the archive keeps its permissions
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"book", "book.epub"}));
    EXPECT_TRUE(tmp.Left().empty());
}

TEST(ZipUpdate, ArchivesFromOtherWritersKeepTheirCommentAndEntries) {
    PrivateTmp tmp;
    TempDir dir;
    const fs::path archive = dir / "other.zip";
    // Written to a pipe, Python's zipfile uses data descriptors; it also adds a comment and an
    // extra field.
    const std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.stdout.buffer, 'w', zipfile.ZIP_DEFLATED)\n"
        "z.comment = b'kept comment'\n"
        "i = zipfile.ZipInfo('old.txt', (2000, 1, 1, 0, 0, 0))\n"
        "i.extra = b'\\xfe\\xca\\x04\\x00abcd'\n"
        "z.writestr(i, 'old text ' * 200, zipfile.ZIP_DEFLATED)\n"
        "z.writestr('dir/stored.bin', bytes(range(256)), zipfile.ZIP_STORED)\n"
        "z.close()\n";
    WriteFile(dir / "make.py", script);
    ASSERT_EQ(ziptest::Run("python3 " + Quote(dir / "make.py") + " | cat > " + Quote(archive)), 0);
    WriteFile(dir / "book/new.txt", "new");
    ASSERT_EQ(Pack(archive, dir / "book"), "");

    const PyReport py = ReadWithPython(archive);
    EXPECT_EQ(py.testzip, "OK");
    EXPECT_EQ(py.comment, Hex("kept comment"));
    ASSERT_EQ(py.Names(), (std::vector<std::string>{"old.txt", "dir/stored.bin", "new.txt"}));
    EXPECT_EQ(py.Find("old.txt")->size, 1800u);
    EXPECT_TRUE(OtherReadersAccept(archive));
    // The descriptors are gone: sizes now stand in the local headers, which agree with the
    // directory, and the entries lie back to back.
    const RawArchive raw = ParseArchive(ReadFile(archive));
    ASSERT_TRUE(raw.ok) << raw.problem;
    for (const auto& e : raw.entries)
        EXPECT_EQ(e.flags & 0x0008, 0) << e.name;
    EXPECT_EQ(raw.entries[0].localExtra, 8);  // copied as it was
    EXPECT_TRUE(tmp.Left().empty());
}

TEST(ZipUpdate, WhatIsNoArchiveFailsAndStaysByteForByte) {
    PrivateTmp tmp;
    TempDir dir;
    WriteFile(dir / "book/a.txt", "a");
    WriteFile(dir / "good/x.txt", TextBytes(5000));
    WriteFile(dir / "good/y.bin", RandomBytes(3000, 7));
    ASSERT_EQ(Pack(dir / "good.zip", dir / "good"), "");
    const std::string good = ReadFile(dir / "good.zip");

    // Each case: the bytes under the archive name, and the error expected.
    std::vector<std::pair<std::string, std::string>> cases = {
        {"This is a letter, not an archive.\n", "Incomplete Zip File"},
        {"", "Incomplete Zip File"},
        {good.substr(0, good.size() - 1), "Incomplete Zip File"},
        {good.substr(0, good.size() / 2), "Incomplete Zip File"},
        {good.substr(100), "Damaged Zip File"},  // front cut: offsets point past their records
    };
    // End records that lie: huge counts, a directory outside the file, volumes, top bit set.
    auto endRecord = [](std::uint16_t disk, std::uint16_t startDisk, std::uint16_t count,
                        std::uint32_t size, std::uint32_t offset) {
        std::string e("PK\x05\x06", 4);
        auto put = [&e](std::uint64_t v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                e += static_cast<char>((v >> (8 * i)) & 0xFF);
        };
        put(disk, 2);
        put(startDisk, 2);
        put(count, 2);
        put(count, 2);
        put(size, 4);
        put(offset, 4);
        put(0, 2);
        return e;
    };
    cases.push_back({endRecord(0, 0, 0xFFFF, 0xFFFFFFFF, 0), "Damaged Zip File"});
    cases.push_back({endRecord(0, 0, 3, 200, 0x7FFFFFF0), "Damaged Zip File"});
    cases.push_back({endRecord(1000, 0, 1, 46, 0), "Incomplete Zip File"});
    cases.push_back({endRecord(2, 3, 1, 46, 0), "Incomplete Zip File"});
    cases.push_back({endRecord(0, 0, 1, 46, 0x80000000), "Incomplete Zip File"});
    // A directory record whose local header offset points into the directory itself.
    std::string pointsInward = good;
    const std::size_t central = good.rfind(std::string("PK\x01\x02", 4));
    pointsInward[central + 42] = static_cast<char>(central & 0xFF);
    pointsInward[central + 43] = static_cast<char>((central >> 8) & 0xFF);
    cases.push_back({pointsInward, "Damaged Zip File"});

    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const fs::path archive = dir / "out.epub";
        WriteFile(archive, cases[i].first);
        const std::string error = Pack(archive, dir / "book");
        EXPECT_EQ(error.rfind(cases[i].second, 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(ReadFile(archive), cases[i].first);
        EXPECT_EQ(ListFolder(dir.Path()),
                  (std::vector<std::string>{"book", "good", "good.zip", "out.epub"}));
        EXPECT_TRUE(tmp.Left().empty());
    }
}

TEST(ZipUpdate, AcrossFileSystemsTheNewArchiveIsCopiedIntoPlace) {
    // The temporary archive on a memory file system cannot be renamed onto the disk.
    struct stat shm {
    }, tmpStat{};
    TempDir dir;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.Path().c_str(), &tmpStat) != 0 ||
        shm.st_dev == tmpStat.st_dev) {
        GTEST_SKIP() << "needs /dev/shm on another file system than the temporary folder";
    }
    TempDir temp("/dev/shm");
    WriteFile(dir / "book/a.txt", "a");
    ASSERT_EQ(Pack(dir / "out.zip", dir / "book"), "");
    WriteFile(dir / "book/b.txt", "b");

    vellumark::zip::TVCLZip zip;
    zip.SetRootDir((dir / "book").string());
    zip.SetRelativePaths(true);
    zip.ZipName = dir / "out.zip";
    zip.TempPath = temp.Path();
    zip.FilesList = {(dir / "book").string() + "/*.*"};
    EXPECT_EQ(zip.WriteArchive(), 1);
    const PyReport py = ReadWithPython(dir / "out.zip", dir / "book");
    EXPECT_EQ(py.testzip, "OK");
    EXPECT_EQ(py.Names(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_TRUE(ListFolder(temp.Path()).empty());
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"book", "out.zip"}));
}
