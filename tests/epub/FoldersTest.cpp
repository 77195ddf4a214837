#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TestTiff.h"
#include "common/Error.h"
#include "epub/Folders.h"

namespace vellumark::epub {
namespace {
namespace fs = std::filesystem;

// An installed container folder, made the way the build lays it out.
fs::path MakeInstalled(const fs::path& folder) {
    fs::create_directories(folder / "META-INF");
    std::ofstream(folder / "mimetype", std::ios::binary) << "application/epub+zip";
    std::ofstream(folder / "META-INF" / "container.xml") << "<container/>";
    return folder;
}

TEST(FoldersTest, ProgramFolderHoldsThisProgram) {
    const fs::path folder = ProgramFolder();
    EXPECT_TRUE(folder.is_absolute());
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(InstalledContainerFolder(), folder / "epubfiles");
    EXPECT_EQ(ContentFolder("/w"), fs::path("/w/OEBPS"));
}

TEST(FoldersTest, PrivateFoldersAreSeededSeparateAndRemoved) {
    testing::TempFolder temp;
    const fs::path installed = MakeInstalled(temp / "epubfiles");
    fs::create_directories(installed / "OEBPS");  // a window's content: never copied
    fs::path first;
    {
        WorkingFolder a = WorkingFolder::CreatePrivate(installed);
        WorkingFolder b = WorkingFolder::CreatePrivate(installed);
        first = a.Path();
        EXPECT_TRUE(a.IsPrivate());
        EXPECT_NE(a.Path(), b.Path());
        EXPECT_TRUE(fs::is_regular_file(a.Path() / "mimetype"));
        EXPECT_TRUE(fs::is_regular_file(a.Path() / "META-INF" / "container.xml"));
        EXPECT_FALSE(fs::exists(a.Content()));
        fs::create_directories(a.Content());
        WorkingFolder moved = std::move(a);
        EXPECT_EQ(moved.Path(), first);
        EXPECT_TRUE(fs::exists(first));
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(installed / "mimetype"));
}

TEST(FoldersTest, MissingInstalledFilesAreAnError) {
    testing::TempFolder temp;
    EXPECT_THROW(WorkingFolder::CreatePrivate(temp / "nothing"), Error);
}

TEST(FoldersTest, WindowHoldsTheInstalledFolderAndASecondWindowGetsAPrivateOne) {
    testing::TempFolder temp;
    const fs::path installed = MakeInstalled(temp / "epubfiles");
    {
        WorkingFolder window = WorkingFolder::AcquireForWindow(installed);
        EXPECT_FALSE(window.IsPrivate());
        EXPECT_EQ(window.Path(), installed);
        fs::create_directories(window.Content());
        std::ofstream(window.Content() / "1.jpg") << "x";

        WorkingFolder second = WorkingFolder::AcquireForWindow(installed);
        EXPECT_TRUE(second.IsPrivate());
        EXPECT_NE(second.Path(), installed);
    }
    // The content goes with the window; the container files stay.
    EXPECT_FALSE(fs::exists(installed / "OEBPS"));
    EXPECT_TRUE(fs::exists(installed / "mimetype"));
    // The lock went with it too.
    EXPECT_FALSE(WorkingFolder::AcquireForWindow(installed).IsPrivate());
}

TEST(FoldersTest, ReadOnlyInstallationUsesTheCacheFolder) {
    testing::TempFolder temp;
    const fs::path installed = MakeInstalled(temp / "epubfiles");
    fs::permissions(installed,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    if (::access(installed.c_str(), W_OK) == 0)
        GTEST_SKIP() << "permissions do not bind root";
    const char* old = std::getenv("XDG_CACHE_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CACHE_HOME", (temp / "cache").c_str(), 1);
    {
        WorkingFolder window = WorkingFolder::AcquireForWindow(installed);
        EXPECT_EQ(window.Path(), temp / "cache" / "vellumark" / "epubfiles");
        EXPECT_TRUE(fs::is_regular_file(window.Path() / "mimetype"));
    }
    old ? ::setenv("XDG_CACHE_HOME", saved.c_str(), 1) : ::unsetenv("XDG_CACHE_HOME");
    fs::permissions(installed, fs::perms::owner_write, fs::perm_options::add);
}

TEST(FoldersTest, RemoveFolderRemovesTreesButNeverFollowsLinks) {
    testing::TempFolder temp;
    fs::create_directories(temp / "keep");
    std::ofstream(temp / "keep" / "precious") << "x";
    fs::create_directories(temp / "tree" / "a" / "b");
    std::ofstream(temp / "tree" / "a" / "b" / "f") << "x";
    fs::create_directory_symlink(temp / "keep", temp / "tree" / "link");
    EXPECT_TRUE(RemoveFolder(temp / "tree"));
    EXPECT_FALSE(fs::exists(temp / "tree"));
    EXPECT_TRUE(fs::exists(temp / "keep" / "precious"));
    EXPECT_TRUE(RemoveFolder(temp / "never-there"));
}

}  // namespace
}  // namespace vellumark::epub
