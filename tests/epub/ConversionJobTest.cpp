#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "FakePages.h"
#include "TestTiff.h"
#include "epub/ConversionJob.h"
#include "epub/Folders.h"

namespace vellumark::epub {
namespace {
namespace fs = std::filesystem;
using testing::FakePages;
using testing::RecordingReporter;

const BookIdentity kIdentity{"0f8fad5b-d9cb-469f-a165-70867728950e", "2024-03-01",
                             "2024-03-01T09:30:00Z"};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ConversionJobTest : public ::testing::Test {
protected:
    ConversionJobTest() : working_(WorkingFolder::CreatePrivate(VELLUMARK_TEST_EPUBFILES)) {
        settings_.title = "My Book";
        settings_.author = "Ann Author";
        settings_.outputFolder = (temp_ / "out").string();
        settings_.workingFolder = working_.Path();
    }

    ConversionResult Run(const imaging::PageSource* pages) {
        return Convert(pages, settings_, reporter_, kIdentity);
    }
    fs::path Output() const { return OutputPathFor(settings_); }

    vellumark::testing::TempFolder temp_;
    WorkingFolder working_;
    ConversionSettings settings_;
    RecordingReporter reporter_;
};

TEST_F(ConversionJobTest, MissingFieldsAndDocumentAreRefusedWithANote) {
    FakePages pages(2);
    struct Case {
        std::string title, author;
        bool document;
        const char* text;
    };
    for (const Case& c : {Case{"", "A", true, kNoTitleText}, Case{"T", "", true, kNoAuthorText},
                          Case{"T", "A", false, kNoDocumentText}}) {
        RecordingReporter reporter;
        settings_.title = c.title;
        settings_.author = c.author;
        // Leftovers of an earlier conversion are cleared even when the command stops.
        fs::create_directories(working_.Content());
        std::ofstream(working_.Content() / "old.jpg") << "x";
        const auto result = Convert(c.document ? &pages : nullptr, settings_, reporter, kIdentity);
        EXPECT_EQ(result.outcome, ConversionOutcome::Refused);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.message, c.text);
        EXPECT_EQ(reporter.notes, std::vector<std::string>{c.text});
        EXPECT_TRUE(fs::is_directory(working_.Content()));
        EXPECT_TRUE(fs::is_empty(working_.Content()));
        EXPECT_FALSE(fs::exists(temp_ / "out"));
    }
}

TEST_F(ConversionJobTest, BadCoverIsRefusedBeforeAnythingIsWritten) {
    FakePages pages(2);
    fs::create_directories(temp_ / "covers" / "folder.jpg");
    std::ofstream(temp_ / "covers" / "picture.jpg", std::ios::binary) << "\x89PNG\r\n\x1a\n....";
    std::ofstream(temp_ / "covers" / "empty.jpg", std::ios::binary);
    std::ofstream(temp_ / "covers" / "short.jpg", std::ios::binary) << "\xff\xd8";
    for (const char* name :
         {"missing.jpg", "folder.jpg", "picture.jpg", "empty.jpg", "short.jpg"}) {
        RecordingReporter reporter;
        settings_.cover = (temp_ / "covers" / name).string();
        const auto result = Convert(&pages, settings_, reporter, kIdentity);
        EXPECT_EQ(result.outcome, ConversionOutcome::Refused) << name;
        EXPECT_EQ(result.exitCode, 2);
        ASSERT_EQ(reporter.notes.size(), 1u) << name;
        EXPECT_NE(reporter.notes[0].find(settings_.cover), std::string::npos) << reporter.notes[0];
        EXPECT_TRUE(fs::is_empty(working_.Content())) << name;
        EXPECT_TRUE(reporter.statuses.empty());
        EXPECT_FALSE(fs::exists(temp_ / "out"));
    }
}

TEST_F(ConversionJobTest, EmptySavingPathIsRefusedAfterTheDocumentsAreWritten) {
    FakePages empty(0);
    settings_.outputFolder.clear();
    const auto result = Run(&empty);
    EXPECT_EQ(result.outcome, ConversionOutcome::Refused);
    EXPECT_EQ(result.message, kNoSavingPathText);
    EXPECT_EQ(reporter_.notes, std::vector<std::string>{kNoSavingPathText});
    EXPECT_TRUE(fs::exists(working_.Content() / "fb.opf"));
    EXPECT_TRUE(fs::exists(working_.Content() / "fb.ncx"));
    EXPECT_TRUE(fs::exists(working_.Content() / "stylesheet.css"));
}

TEST_F(ConversionJobTest, DeclinedOverwriteLeavesTheOldBook) {
    FakePages empty(0);
    fs::create_directories(temp_ / "out");
    std::ofstream(Output(), std::ios::binary) << "old book";
    const auto result = Run(&empty);
    EXPECT_EQ(result.outcome, ConversionOutcome::Declined);
    EXPECT_EQ(reporter_.overwriteQuestions, 1);
    EXPECT_TRUE(reporter_.notes.empty());
    EXPECT_EQ(ReadFile(Output()), "old book");
    EXPECT_EQ(fs::directory_iterator(temp_ / "out")->path(), Output());
}

TEST_F(ConversionJobTest, SlashInTheTitleOnlyChangesTheFileName) {
    settings_.title = "A/B/C";
    settings_.outputFolder = "/books/";
    EXPECT_EQ(OutputPathFor(settings_), fs::path("/books/A_B_C.epub"));
    settings_.title = "  ";
    EXPECT_EQ(OutputPathFor(settings_).filename(), "  .epub");
}

TEST_F(ConversionJobTest, FailedArchiveWriteIsAFailureAndLeavesNothing) {
    FakePages empty(0);
    // An output "folder" that is a file.
    std::ofstream(temp_ / "out", std::ios::binary) << "not a folder";
    auto result = Run(&empty);
    EXPECT_EQ(result.outcome, ConversionOutcome::Failed);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.message.find(Output().string()), std::string::npos) << result.message;
    EXPECT_EQ(ReadFile(temp_ / "out"), "not a folder");
    EXPECT_TRUE(std::find(reporter_.statuses.begin(), reporter_.statuses.end(), kSucceededText) ==
                reporter_.statuses.end());

    // A book saved inside the folder being packed would pack itself.
    settings_.outputFolder = (working_.Path() / "books").string();
    result = Run(&empty);
    EXPECT_EQ(result.outcome, ConversionOutcome::Failed);
    EXPECT_FALSE(fs::exists(Output()));

    if (::geteuid() != 0) {
        fs::create_directories(temp_ / "locked");
        fs::permissions(temp_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        settings_.outputFolder = (temp_ / "locked").string();
        result = Run(&empty);
        EXPECT_EQ(result.outcome, ConversionOutcome::Failed);
        EXPECT_TRUE(fs::is_empty(temp_ / "locked"));
        fs::permissions(temp_ / "locked", fs::perms::owner_all);
    }
}

TEST_F(ConversionJobTest, AWorkingFolderWithoutContainerFilesIsAFailure) {
    FakePages empty(0);
    settings_.workingFolder.clear();
    EXPECT_EQ(Run(&empty).outcome, ConversionOutcome::Failed);
    settings_.workingFolder = temp_ / "bare";
    fs::create_directories(temp_ / "bare" / "OEBPS");
    std::ofstream(temp_ / "bare" / "OEBPS" / "keep") << "x";
    EXPECT_EQ(Run(&empty).outcome, ConversionOutcome::Failed);
    EXPECT_TRUE(fs::exists(temp_ / "bare" / "OEBPS" / "keep"));
}

}  // namespace
}  // namespace vellumark::epub
