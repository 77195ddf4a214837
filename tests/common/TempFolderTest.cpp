#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "LockHolder.h"
#include "RunFolders.h"
#include "common/Error.h"
#include "common/TempFolder.h"

namespace vellumark {
namespace {
namespace fs = std::filesystem;

TEST(TempFolderTest, MadeFreshAndRemovedWholeWhenItsOwnerEnds) {
    const TempFolder parent = TempFolder::Create({}, "parent-");
    fs::path inner;
    {
        TempFolder folder = TempFolder::Create(parent.Path(), "work-");
        inner = folder.Path();
        EXPECT_EQ(inner.parent_path(), parent.Path());
        EXPECT_EQ(inner.filename().string().size(), std::string("work-").size() + 6);
        fs::create_directories(inner / "a/b");
        std::ofstream(inner / "a/b/file") << "x";
        fs::create_directory_symlink(parent.Path(), inner / "link");  // removed, not followed

        TempFolder moved = std::move(folder);  // the new owner removes it
        EXPECT_EQ(moved.Path(), inner);
        EXPECT_TRUE(fs::exists(inner));
    }
    EXPECT_FALSE(fs::exists(inner));
    EXPECT_TRUE(fs::exists(parent.Path()));
}

TEST(TempFolderTest, FailureTextSaysWhereAndWhy) {
    const TempFolder parent = TempFolder::Create({}, "parent-");
    const fs::path missing = parent.Path() / "missing";
    try {
        TempFolder::Create(missing, "x-");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::Io);
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create a folder in " + missing.string() + ": No such file or directory");
    }
    try {
        TempFolder::Create(missing, "x-", [](const std::string& why) { return "[" + why + "]"; });
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "[No such file or directory]");
    }
}

TEST(TempFolderTest, EachFolderCarriesAMarkOfItsOwnRun) {
    const TempFolder parent = TempFolder::Create({}, "parent-");
    const TempFolder first = TempFolder::Create(parent.Path(), "run-");
    const TempFolder second = TempFolder::Create(parent.Path(), "run-");
    const std::string mark = vellumark::testing::MarkerOf(first.Path());
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    EXPECT_NE(mark.find("\nhost " + std::string(host) + "\n"), std::string::npos) << mark;
    EXPECT_NE(mark.find("\npid " + std::to_string(::getpid()) + "\n"), std::string::npos) << mark;
    EXPECT_NE(mark, vellumark::testing::MarkerOf(second.Path()));  // a token of its own
    // A live owner's folder is never abandoned.
    EXPECT_FALSE(IsAbandonedTempFolder(first.Path()));
    EXPECT_EQ(RemoveAbandonedFolders(parent.Path(), "run-"), 0);
}

TEST(TempFolderTest, OnlyFoldersProvedOursAndEndedAreClearedAway) {
    const TempFolder parent = TempFolder::Create({}, "parent-");
    const TempFolder elsewhere = TempFolder::Create({}, "elsewhere-");
    const vellumark::testing::Decoys decoys(parent.Path(), "run-", elsewhere.Path());
    const TempFolder live = TempFolder::Create(parent.Path(), "run-");
    const fs::path dead = vellumark::testing::MakeAbandonedFolder(parent.Path(), "run-");
    // Other names and shapes are not even looked at.
    const fs::path longer = vellumark::testing::MakeAbandonedFolder(parent.Path(), "run-x");
    EXPECT_TRUE(IsAbandonedTempFolder(dead));
    EXPECT_TRUE(IsAbandonedTempFolder(longer));

    EXPECT_EQ(RemoveAbandonedFolders(parent.Path(), "run-"), 1);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(live.Path()));
    EXPECT_TRUE(fs::exists(longer));
    decoys.ExpectWhole();
    EXPECT_EQ(RemoveAbandonedFolders(parent.Path() / "missing", "run-"), 0);
}

TEST(TempFolderTest, AFolderHeldByAnotherProcessIsLeftUntilItsOwnerDies) {
    const TempFolder parent = TempFolder::Create({}, "parent-");
    const fs::path held = vellumark::testing::MakeAbandonedFolder(parent.Path(), "run-");
    vellumark::testing::LockHolder holder(held);
    EXPECT_FALSE(IsAbandonedTempFolder(held));
    EXPECT_EQ(RemoveAbandonedFolders(parent.Path(), "run-"), 0);
    EXPECT_TRUE(fs::exists(held));
    holder.Kill();  // the owner dies; its lock goes with it
    EXPECT_EQ(RemoveAbandonedFolders(parent.Path(), "run-"), 1);
    EXPECT_FALSE(fs::exists(held));
}

}  // namespace
}  // namespace vellumark
