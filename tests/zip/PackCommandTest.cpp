// `vellumark pack`, run as the built program: exit codes and the one line on stderr.

#include <gtest/gtest.h>

#include "ZipTestSupport.h"

using namespace ziptest;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string stderrText;
};

Outcome Pack(const std::string& arguments) {
    Outcome o;
    o.exitCode =
        Run(Quote(VELLUMARK_EXE) + " pack " + arguments + " 2>&1 >/dev/null", &o.stderrText);
    return o;
}

int Lines(const std::string& text) {
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

}  // namespace

TEST(PackCommand, PacksAndUpdatesAFolderAsABookIsPacked) {
    TempDir dir;
    WriteFile(dir / "book/OEBPS/page1.html", TextBytes(2000));
    WriteFile(dir / "book/mimetype", "application/epub+zip");
    const fs::path archive = dir / "out.epub";
    Outcome o = Pack(Quote(dir / "book") + " " + Quote(archive));
    EXPECT_EQ(o.exitCode, 0) << o.stderrText;
    EXPECT_EQ(o.stderrText, "");
    PyReport py = ReadWithPython(archive, dir / "book");
    EXPECT_EQ(py.testzip, "OK");
    EXPECT_EQ(py.Names(), (std::vector<std::string>{"mimetype", "OEBPS/page1.html"}));

    WriteFile(dir / "book/OEBPS/page2.html", TextBytes(100));
    o = Pack(Quote(dir / "book") + " " + Quote(archive));
    EXPECT_EQ(o.exitCode, 0) << o.stderrText;
    py = ReadWithPython(archive, dir / "book");
    EXPECT_EQ(py.Names(),
              (std::vector<std::string>{"mimetype", "OEBPS/page1.html", "OEBPS/page2.html"}));
    EXPECT_TRUE(OtherReadersAccept(archive));
}

TEST(PackCommand, FailuresExitWithOneOnOneLine) {
    TempDir dir;
    WriteFile(dir / "book/a.txt", "a");
    WriteFile(dir / "letter.epub", "Dear reader,\n");
    Outcome o = Pack(Quote(dir / "book") + " " + Quote(dir / "letter.epub"));
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.stderrText.find("Incomplete Zip File"), std::string::npos) << o.stderrText;
    EXPECT_EQ(Lines(o.stderrText), 1) << o.stderrText;
    EXPECT_EQ(ReadFile(dir / "letter.epub"), "Dear reader,\n");

    o = Pack(Quote(dir / "book") + " " + Quote(dir / "no/such/folder/out.epub"));
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(Lines(o.stderrText), 1) << o.stderrText;
}

TEST(PackCommand, WhatTheFormatCannotHoldExitsWithTwo) {
    TempDir dir;
    WriteFile(dir / "book/huge.bin", "");
    fs::resize_file(dir / "book/huge.bin", 4ull << 30);  // sparse: no disk space used
    const Outcome o = Pack(Quote(dir / "book") + " " + Quote(dir / "out.zip"));
    EXPECT_EQ(o.exitCode, 2) << o.stderrText;
    EXPECT_NE(o.stderrText.find("4 GiB"), std::string::npos) << o.stderrText;
    EXPECT_EQ(Lines(o.stderrText), 1) << o.stderrText;
    EXPECT_FALSE(fs::exists(dir / "out.zip"));
}

TEST(PackCommand, WrongArgumentsExitWithTwoAndAUsageLine) {
    TempDir dir;
    for (const std::string& arguments :
         {std::string(), Quote(dir.Path()), Quote(dir.Path()) + " a.zip extra"}) {
        const Outcome o = Pack(arguments);
        EXPECT_EQ(o.exitCode, 2) << arguments;
        EXPECT_NE(o.stderrText.find("usage: vellumark pack FOLDER ARCHIVE"), std::string::npos)
            << o.stderrText;
    }
    const Outcome o = Pack(Quote(dir / "missing") + " " + Quote(dir / "out.zip"));
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_EQ(Lines(o.stderrText), 1) << o.stderrText;
    EXPECT_FALSE(fs::exists(dir / "out.zip"));
}
