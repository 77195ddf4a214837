#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "LockHolder.h"
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

TEST(TempFolderTest, OnlyFoldersWhoseOwnerIsGoneAreClearedAway) {
    const TempFolder parent = TempFolder::Create({}, "parent-");
    const TempFolder live = TempFolder::Create(parent.Path(), "run-");
    // What a run killed outright leaves: a folder of the right name that nobody holds.
    const fs::path dead = parent.Path() / "run-abc123";
    fs::create_directories(dead / "OEBPS");
    std::ofstream(dead / "OEBPS/1.jpg") << "picture";
    // Not ours: other names, a file of the right shape, a folder of another length.
    fs::create_directory(parent.Path() / "other-abc123");
    std::ofstream(parent.Path() / "run-file00") << "x";
    fs::create_directory(parent.Path() / "run-abc1234");

    EXPECT_EQ(RemoveAbandonedFolders(parent.Path(), "run-"), 1);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(live.Path()));
    EXPECT_TRUE(fs::exists(parent.Path() / "other-abc123"));
    EXPECT_TRUE(fs::exists(parent.Path() / "run-file00"));
    EXPECT_TRUE(fs::exists(parent.Path() / "run-abc1234"));
    EXPECT_EQ(RemoveAbandonedFolders(parent.Path() / "missing", "run-"), 0);
}

TEST(TempFolderTest, AFolderHeldByAnotherProcessIsLeftAlone) {
    const TempFolder parent = TempFolder::Create({}, "parent-");
    const fs::path held = parent.Path() / "run-held00";
    fs::create_directory(held);
    vellumark::testing::LockHolder holder(held);
    EXPECT_EQ(RemoveAbandonedFolders(parent.Path(), "run-"), 0);
    EXPECT_TRUE(fs::exists(held));
    holder.Kill();  // the owner dies; its lock goes with it
    EXPECT_EQ(RemoveAbandonedFolders(parent.Path(), "run-"), 1);
    EXPECT_FALSE(fs::exists(held));
}

}  // namespace
}  // namespace vellumark
