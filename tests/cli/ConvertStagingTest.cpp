// What `vellumark convert` creates on disk while it runs, seen through inotify: nothing in the
// temporary folder, and in the output folder only each book's own temporary file, renamed into
// place when the book is whole.

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "TestTiff.h"

namespace vellumark::cli {
namespace {
namespace fs = std::filesystem;
using vellumark::testing::RunProgram;
using vellumark::testing::RunResult;
using vellumark::testing::TestPage;

// Every name created in, or moved into, the folders watched, in the order it happened.
class CreatedNames {
public:
    explicit CreatedNames(const std::vector<fs::path>& folders)
        : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(fd_, 0);
        for (const fs::path& folder : folders) {
            const int watch =
                ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
            EXPECT_GE(watch, 0) << folder;
            folders_[watch] = folder;
        }
    }
    ~CreatedNames() { ::close(fd_); }
    CreatedNames(const CreatedNames&) = delete;
    CreatedNames& operator=(const CreatedNames&) = delete;

    // What happened since the last call: "created NAME" or "moved NAME", by folder.
    std::map<fs::path, std::vector<std::string>> Take() {
        std::map<fs::path, std::vector<std::string>> seen;
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0) {
                    seen[folders_[event->wd]].push_back(
                        std::string(event->mask & IN_CREATE ? "created " : "moved ") + event->name);
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return seen;
    }

private:
    int fd_;
    std::map<int, fs::path> folders_;
};

TEST(ConvertStagingTest, OnlyTheBooksOwnTemporaryFilesAreCreated) {
    vellumark::testing::TempFolder temp;
    const fs::path tmp = temp / "tmp";
    const fs::path out = temp / "out";
    fs::create_directories(tmp);
    fs::create_directories(out);
    TestPage page;
    page.width = 200;
    page.height = 280;
    page.xResolution = page.yResolution = 50;
    for (const char* name : {"one.tif", "shelf/a.tif", "shelf/b.tif"}) {
        fs::create_directories((temp / name).parent_path());
        vellumark::testing::WriteTestTiff(temp / name, std::vector<TestPage>(3, page));
    }
    CreatedNames names({tmp, out});
    const auto convert = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"TMPDIR=" + tmp.string(), VELLUMARK_TEST_PROGRAM, "convert",
                                   "--author", "A", "--output-dir", out.string(), "--quiet"});
        const RunResult result = RunProgram("env", args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
    };
    // Every book: "created TITLE.epub.tmp-xxxxxx", then "moved TITLE.epub".
    const auto expectBooks = [&](const std::vector<std::string>& titles) {
        auto seen = names.Take();
        EXPECT_TRUE(seen[tmp].empty()) << seen[tmp].front();
        std::vector<std::string>& events = seen[out];
        ASSERT_EQ(events.size(), 2 * titles.size());
        for (const std::string& title : titles) {
            const auto created = std::find_if(events.begin(), events.end(), [&](auto& event) {
                return event.starts_with("created " + title + ".epub.tmp-");
            });
            ASSERT_NE(created, events.end()) << title;
            const auto moved = std::find(created, events.end(), "moved " + title + ".epub");
            EXPECT_NE(moved, events.end()) << title;
        }
    };

    convert({(temp / "one.tif").string(), "--jobs", "2"});
    expectBooks({"one"});
    convert({(temp / "one.tif").string(), "--format", "epub3", "--overwrite"});
    expectBooks({"one"});
    convert({(temp / "shelf").string(), "--format", "epub3"});
    expectBooks({"a", "b"});
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(out))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"a.epub", "b.epub", "one.epub"}));
}

}  // namespace
}  // namespace vellumark::cli
