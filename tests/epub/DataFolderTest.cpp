// Finding the program's data: beside it in the build folder, in ../share/vellumark once installed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TestTiff.h"
#include "common/Error.h"
#include "epub/DataFolder.h"
#include "epub/Folders.h"  // ProgramFolder

namespace vellumark::epub {
namespace {
namespace fs = std::filesystem;

void MakeData(const fs::path& folder) {
    fs::create_directories(folder / "epubfiles" / "META-INF");
    std::ofstream(folder / "epubfiles" / "mimetype") << "application/epub+zip";
}

TEST(DataFolderTest, BuildFolderLayoutIsFoundBesideTheProgram) {
    testing::TempFolder temp;
    const fs::path bin = temp / "build" / "bin";
    MakeData(bin);
    EXPECT_EQ(FindDataFolder(bin), bin);
    // This test program runs from the build folder, with the container files copied beside it.
    EXPECT_EQ(DataFolder(), ProgramFolder());
}

TEST(DataFolderTest, InstalledLayoutIsFoundInTheSharedDataFolder) {
    testing::TempFolder temp;
    const fs::path prefix = temp / "usr";
    fs::create_directories(prefix / "bin");
    MakeData(prefix / "share" / "vellumark");
    // Written without "..", so that messages and the working folder name a plain path.
    EXPECT_EQ(FindDataFolder(prefix / "bin"), prefix / "share" / "vellumark");
}

TEST(DataFolderTest, BesideTheProgramWinsOverAnInstalledCopy) {
    testing::TempFolder temp;
    const fs::path prefix = temp / "usr";
    MakeData(prefix / "bin");
    MakeData(prefix / "share" / "vellumark");
    EXPECT_EQ(FindDataFolder(prefix / "bin"), prefix / "bin");
}

TEST(DataFolderTest, NeitherLayoutIsAnErrorNamingBothFolders) {
    testing::TempFolder temp;
    const fs::path prefix = temp / "usr";
    fs::create_directories(prefix / "bin");
    // A file of that name is not the folder.
    fs::create_directories(prefix / "share" / "vellumark");
    std::ofstream(prefix / "share" / "vellumark" / "epubfiles") << "x";
    try {
        FindDataFolder(prefix / "bin");
        FAIL() << "no data folder, yet one was found";
    } catch (const Error& error) {
        EXPECT_EQ(error.Code(), ErrorCode::Io);
        const std::string message = error.what();
        EXPECT_NE(message.find("epubfiles"), std::string::npos) << message;
        EXPECT_NE(message.find((prefix / "bin").string()), std::string::npos) << message;
        EXPECT_NE(message.find((prefix / "share" / "vellumark").string()), std::string::npos)
            << message;
    }
}

}  // namespace
}  // namespace vellumark::epub
