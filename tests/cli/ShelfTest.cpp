// `vellumark convert` over a shelf, run as the built program: every good book made, a bad one
// reported without stopping the others, a second run doing only what is left, the metadata
// table, the refusals, quiet and JSON output, clean interruption, and the clearing away of what
// a killed run left.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "CommandLineChecks.h"
#include "LockHolder.h"
#include "RunFolders.h"
#include "RunProgram.h"
#include "TestTiff.h"

extern char** environ;

namespace vellumark::cli {
namespace {
namespace fs = std::filesystem;
using vellumark::testing::ExpectValidBooks;
using vellumark::testing::Lines;
using vellumark::testing::RunProgram;
using vellumark::testing::RunResult;
using vellumark::testing::TestPage;

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// epubcheck on every book in the folder, in one Java start.
void ExpectValidBooksIn(const fs::path& folder) {
    std::vector<fs::path> books;
    for (const std::string& name : Names(folder))
        books.push_back(folder / name);
    vellumark::testing::ExpectValidBooks(books);
}

class ShelfTest : public ::testing::Test {
protected:
    // A small scan of `pages` pages: quick to convert.
    void WriteScan(const fs::path& path, int pages = 2, int width = 200, int height = 280) {
        TestPage page;
        page.width = width;
        page.height = height;
        page.xResolution = page.yResolution = 50;
        fs::create_directories(path.parent_path());
        vellumark::testing::WriteTestTiff(path, std::vector<TestPage>(pages, page));
    }

    // Runs convert with TMPDIR set to a folder of the test's own, so that its staging
    // folders can be looked for.
    RunResult Convert(std::vector<std::string> args) {
        args.insert(args.begin(), {"TMPDIR=" + tmp_.string(), VELLUMARK_TEST_PROGRAM, "convert"});
        return RunProgram("env", args);
    }

    void SetUp() override {
        fs::create_directories(tmp_);
        shelf_ = temp_ / "shelf";
        out_ = temp_ / "books";
        for (const char* name : {"b-letters.tif", "a-minutes.TIF", "c-memo.mdi"}) {
            if (std::string(name).ends_with(".mdi")) {
                TestPage page;
                vellumark::testing::WriteTestMdi(shelf_ / name, {page});
            } else {
                WriteScan(shelf_ / name);
            }
        }
        std::ofstream(shelf_ / "d-broken.tif") << "not a scan at all";
        std::ofstream(shelf_ / "notes.txt") << "passed over: not a scan name";
    }

    // Folders in the output folder, relative to it, and the files in them.
    std::vector<std::string> Tree(const fs::path& folder) {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
            names.push_back(entry.path().lexically_relative(folder).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    vellumark::testing::TempFolder temp_;
    fs::path tmp_ = temp_ / "tmp";
    fs::path shelf_;
    fs::path out_;
};

TEST_F(ShelfTest, AFailingBookStopsNothingAndASecondRunDoesWhatIsLeft) {
    RunResult run = Convert({shelf_.string(), "--author", "Ann", "--output-dir", out_.string()});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(Names(out_),
              (std::vector<std::string>{"a-minutes.epub", "b-letters.epub", "c-memo.epub"}));
    ExpectValidBooksIn(out_);
    // One line for the failure, naming the file; a result line per book; the summary.
    EXPECT_EQ(Lines(run.err), 1) << run.err;
    EXPECT_NE(run.err.find("d-broken.tif: "), std::string::npos) << run.err;
    EXPECT_EQ(Lines(run.out), 4) << run.out;
    EXPECT_NE(run.out.find("Successed to build: " + (out_ / "a-minutes.epub").string() + " ("),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(run.out.ends_with("3 converted, 0 skipped, 1 failed\n")) << run.out;
    EXPECT_TRUE(Names(tmp_).empty());

    const auto before = fs::last_write_time(out_ / "a-minutes.epub");
    run = Convert({shelf_.string(), "--author", "Ann", "--output-dir", out_.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.ends_with("0 converted, 3 skipped, 1 failed\n")) << run.out;
    EXPECT_NE(run.out.find("Skipped: " + (out_ / "b-letters.epub").string() + " already exists"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(fs::last_write_time(out_ / "a-minutes.epub"), before);

    fs::remove(shelf_ / "d-broken.tif");
    run = Convert({shelf_.string(), "--author", "Ann", "--output-dir", out_.string(), "--overwrite",
                   "--quiet"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");  // quiet: errors only, and there are none
    EXPECT_EQ(run.err, "");
    EXPECT_NE(fs::last_write_time(out_ / "a-minutes.epub"), before);
}

TEST_F(ShelfTest, TheMetadataTableGivesEachBookItsTitleAuthorAndCover) {
    fs::remove(shelf_ / "d-broken.tif");
    // A cover: any JPEG, here the first page of a book made for it.
    WriteScan(temp_ / "cover-scan" / "front.tif", 1);
    ASSERT_EQ(Convert({(temp_ / "cover-scan" / "front.tif").string(), "--author", "x",
                       "--output-dir", (temp_ / "cover-book").string()})
                  .exitCode,
              0);
    const RunResult cover =
        RunProgram("unzip", {"-p", (temp_ / "cover-book" / "front.epub").string(), "OEBPS/1.jpg"});
    std::ofstream(temp_ / "front.jpg", std::ios::binary) << cover.out;

    std::ofstream(temp_ / "shelf.csv")
        << "input,title,author,cover\r\n"
        << "shelf/a-minutes.TIF,\"Minutes, 1999\",\"Board of \"\"Works\"\"\",front.jpg\r\n"
        << "shelf/c-memo.mdi,Caf\xC3\xA9 notes,,\r\n";
    const RunResult run =
        Convert({shelf_.string(), "--metadata", (temp_ / "shelf.csv").string(), "--author",
                 "Default Author", "--output-dir", out_.string(), "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Names(out_), (std::vector<std::string>{"Caf\xC3\xA9 notes.epub", "Minutes, 1999.epub",
                                                     "b-letters.epub"}));
    const auto opf = [&](const std::string& book) {
        return RunProgram("unzip", {"-p", (out_ / book).string(), "OEBPS/fb.opf"}).out;
    };
    EXPECT_NE(opf("Minutes, 1999.epub").find("<dc:creator>Board of \"Works\"</dc:creator>"),
              std::string::npos);
    EXPECT_NE(opf("Minutes, 1999.epub").find("cover.jpg"), std::string::npos);
    EXPECT_NE(opf("Caf\xC3\xA9 notes.epub").find("<dc:creator>Default Author</dc:creator>"),
              std::string::npos);
    EXPECT_NE(opf("b-letters.epub").find("<dc:title>b-letters</dc:title>"), std::string::npos);
    ExpectValidBooksIn(out_);
    // One JSON object per book for scripts, and nothing else on stdout.
    EXPECT_EQ(Lines(run.out), 3) << run.out;
    EXPECT_NE(
        run.out.find("{\"input\": \"" + (shelf_ / "a-minutes.TIF").string() + "\", \"output\": \"" +
                     (out_ / "Minutes, 1999.epub").string() + "\", \"pages\": 2, \"seconds\": "),
        std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"result\": \"converted\", \"error\": null}"), std::string::npos);

    // A bad row is found before any work.
    std::ofstream(temp_ / "bad.csv") << "input,title\nshelf/b-letters.tif,\"B\" x\n";
    fs::remove_all(out_);
    const RunResult bad = Convert({shelf_.string(), "--metadata", (temp_ / "bad.csv").string(),
                                   "--author", "A", "--output-dir", out_.string()});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("bad.csv line 2: text after a closing quote"), std::string::npos)
        << bad.err;
    EXPECT_FALSE(fs::exists(out_));
}

TEST_F(ShelfTest, WhatCannotWorkIsRefusedBeforeAnyWork) {
    WriteScan(temp_ / "other" / "a-minutes.tif");
    std::ofstream(temp_ / "stray.csv") << "input\nnowhere.tif\n";
    fs::create_directories(temp_ / "empty");
    const std::string a = (shelf_ / "a-minutes.TIF").string();
    const std::string b = (shelf_ / "b-letters.tif").string();
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{a, b, "--author", "A", "--title", "T"}, "--title is for one book"},
        {{a, b, "--author", "A", "--cover", "c.jpg"}, "--cover is for one book"},
        {{a, b}, "Please set the author name! (no author for " + a},
        {{a, a, "--author", "A"}, a + " is given twice"},
        {{shelf_.string(), (temp_ / "other").string(), "--author", "A"}, "would both be"},
        {{(temp_ / "empty").string(), "--author", "A"},
         "holds no .tif, .tiff, .mdi, .pdf, .djvu, .cbz, .cbr or .cb7 file"},
        {{a, (temp_ / "missing.tif").string(), "--author", "A"}, "cannot find the input file"},
        {{a, b, "--author", "A", "--metadata", (temp_ / "stray.csv").string()},
         "stray.csv line 2: " + (temp_ / "nowhere.tif").string() + " is not among the inputs"},
    };
    for (const auto& [extra, says] : cases) {
        std::vector<std::string> args = extra;
        args.insert(args.end(), {"--output-dir", out_.string()});
        const RunResult run = Convert(args);
        EXPECT_EQ(run.exitCode, 2) << says;
        EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
        EXPECT_EQ(Lines(run.err), 1) << run.err;
        EXPECT_FALSE(fs::exists(out_)) << says;
    }
}

// Starts the program with TMPDIR set; returns its process id.
pid_t Spawn(const std::vector<std::string>& args, const fs::path& tmp, const fs::path& log) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (!std::string(*e).starts_with("TMPDIR="))
            env.emplace_back(*e);
    }
    env.push_back("TMPDIR=" + tmp.string());
    std::vector<char*> argv, envp;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (log.string() + ".err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

TEST_F(ShelfTest, CtrlCAndSigtermStopCleanlyAndKeepTheFinishedBooks) {
    // Books large enough that the run is still going when the first one is done.
    const fs::path big = temp_ / "big";
    for (int i = 0; i < 6; ++i)
        WriteScan(big / ("scan" + std::to_string(i) + ".tif"), 12, 2480, 3508);
    const vellumark::testing::Decoys tmpDecoys(tmp_, "vellumark-", temp_ / "elsewhere");
    const std::vector<std::string> tmpBefore = Names(tmp_);
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        fs::remove_all(out_);
        const vellumark::testing::Decoys outDecoys(out_, ".vellumark-", temp_ / "elsewhere");
        const pid_t child = Spawn({VELLUMARK_TEST_PROGRAM, "convert", big.string(), "--author", "A",
                                   "--jobs", "1", "--output-dir", out_.string()},
                                  tmp_, temp_ / "log");
        ASSERT_GT(child, 0);
        // Once the first book stands, interrupt the run in the middle of the next ones.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!fs::exists(out_ / "scan0.epub") && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        const auto sent = std::chrono::steady_clock::now();
        ::kill(child, signal);
        int status = 0;
        ::waitpid(child, &status, 0);
        const double stopping =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_LT(stopping, 30.0);  // promptly, not after the whole shelf
        const std::string err = vellumark::testing::ReadWhole(temp_ / "log.err");
        EXPECT_EQ(Lines(err), 1) << err;
        EXPECT_NE(err.find(signal == SIGINT ? "interrupted: " : "terminated: "), std::string::npos)
            << err;
        // Finished books whole; no partial book, no staging folder anywhere; the user's folders
        // as they were.
        tmpDecoys.ExpectWhole();
        outDecoys.ExpectWhole();
        std::vector<std::string> books;
        for (const std::string& name : Names(out_)) {
            if (!name.starts_with(".vellumark-"))
                books.push_back(name);
        }
        ASSERT_FALSE(books.empty());
        EXPECT_LT(books.size(), 6u);
        for (const std::string& name : books) {
            EXPECT_TRUE(name.starts_with("scan") && name.ends_with(".epub")) << name;
            EXPECT_EQ(RunProgram("unzip", {"-tq", (out_ / name).string()}).exitCode, 0) << name;
        }
        EXPECT_EQ(Names(tmp_), tmpBefore);
    }
}

TEST_F(ShelfTest, WhatAKilledRunLeftIsClearedAndNothingElseEver) {
    fs::remove(shelf_ / "d-broken.tif");
    const vellumark::testing::Decoys tmpDecoys(tmp_, "vellumark-", temp_ / "elsewhere");
    const vellumark::testing::Decoys outDecoys(out_, ".vellumark-", temp_ / "elsewhere");
    const std::vector<std::string> tmpBefore = Names(tmp_);

    // A run killed outright while it makes its pages leaves the book's temporary archive, which
    // proves nothing of who made it and so stays for the user to remove; one killed while the
    // window's road packs leaves a marked staging folder beside the book (made here by a process
    // that dies), which goes.
    WriteScan(temp_ / "big" / "big.tif", 12, 2480, 3508);
    const pid_t killed =
        Spawn({VELLUMARK_TEST_PROGRAM, "convert", (temp_ / "big" / "big.tif").string(), "--author",
               "A", "--jobs", "1", "--output-dir", out_.string()},
              tmp_, temp_ / "log");
    ASSERT_GT(killed, 0);
    fs::path working;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (working.empty() && std::chrono::steady_clock::now() < deadline) {
        for (const std::string& name : Names(out_)) {
            if (name.starts_with("big.epub.tmp-"))
                working = out_ / name;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);
    ASSERT_FALSE(working.empty()) << vellumark::testing::ReadWhole(temp_ / "log.err");
    EXPECT_EQ(Names(tmp_), tmpBefore);  // nothing was staged there
    // A user's archive named like a temporary one.
    std::ofstream(out_ / "notes.zip.tmp-abc123") << std::string("PK\x03\x04 a user's own", 16);
    const fs::path staging = vellumark::testing::MakeAbandonedFolder(out_, ".vellumark-");

    // A run that is still going (here, a process holding a marked folder's lock).
    const fs::path live = vellumark::testing::MakeAbandonedFolder(tmp_, "vellumark-");
    vellumark::testing::LockHolder holder(live);

    // A single book, then a shelf: the killed run's folders go, nothing else does.
    RunResult run = Convert(
        {(shelf_ / "b-letters.tif").string(), "--author", "A", "--output-dir", out_.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::exists(staging));
    run = Convert({shelf_.string(), "--author", "A", "--output-dir", out_.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(live));
    tmpDecoys.ExpectWhole();
    outDecoys.ExpectWhole();
    EXPECT_TRUE(fs::exists(out_ / "notes.zip.tmp-abc123"));
    EXPECT_TRUE(fs::exists(working));
    std::vector<std::string> tmpNow = Names(tmp_);
    tmpNow.erase(std::remove(tmpNow.begin(), tmpNow.end(), live.filename().string()), tmpNow.end());
    EXPECT_EQ(tmpNow, tmpBefore);
}

TEST_F(ShelfTest, AShelfTreeGivesEachBookItsPlaceInTheSameTree) {
    const fs::path tree = temp_ / "tree";
    WriteScan(tree / "a.tif", 1);
    WriteScan(tree / "1998" / "letters.tif", 1);
    WriteScan(tree / "1999" / "letters.tif", 1);
    WriteScan(tree / "1999" / "box" / "deep" / "memo.tif", 1);
    WriteScan(tree / "1999" / "box" / "deep" / "report.tif", 1);
    // Passed over: hidden folders and files, and links to folders (here a loop back to the top).
    WriteScan(tree / ".drafts" / "draft.tif", 1);
    WriteScan(tree / "1998" / ".old.tif", 1);
    fs::create_directory_symlink(tree, tree / "1999" / "box" / "loop");
    std::ofstream(temp_ / "tree.csv") << "input,title\ntree/1999/box/deep/report.tif,Report\n";

    RunResult run = Convert({tree.string(), "--author", "A", "--output-dir", out_.string(),
                             "--metadata", (temp_ / "tree.csv").string(), "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Tree(out_),
              (std::vector<std::string>{"1998", "1998/letters.epub", "1999", "1999/box",
                                        "1999/box/deep", "1999/box/deep/Report.epub",
                                        "1999/box/deep/memo.epub", "1999/letters.epub", "a.epub"}));
    std::vector<fs::path> books;
    for (const char* book : {"a.epub", "1998/letters.epub", "1999/letters.epub",
                             "1999/box/deep/memo.epub", "1999/box/deep/Report.epub"})
        books.push_back(out_ / book);
    ExpectValidBooks(books);
    EXPECT_EQ(Lines(run.out), 5) << run.out;
    EXPECT_NE(run.out.find("{\"input\": \"" + (tree / "1999" / "letters.tif").string() +
                           "\", \"output\": \"" + (out_ / "1999" / "letters.epub").string()),
              std::string::npos)
        << run.out;

    run = Convert({tree.string(), "--author", "A", "--output-dir", out_.string(), "--metadata",
                   (temp_ / "tree.csv").string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.out.ends_with("0 converted, 5 skipped, 0 failed\n")) << run.out;
    EXPECT_NE(run.out.find("Skipped: " + (out_ / "1999" / "box" / "deep" / "memo.epub").string()),
              std::string::npos)
        << run.out;
}

}  // namespace
}  // namespace vellumark::cli
