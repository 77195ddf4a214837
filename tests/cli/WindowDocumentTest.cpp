// Which arguments open the window with a document (`vellumark FILE`) and which stay the command
// line's.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "TestTiff.h"
#include "cli/Cli.h"

namespace vellumark::cli {
namespace {
namespace fs = std::filesystem;

// argv for `vellumark ARGS...`.
class Argv {
public:
    Argv(std::initializer_list<std::string> args) : strings_{"vellumark"} {
        strings_.insert(strings_.end(), args);
        for (std::string& s : strings_)
            pointers_.push_back(s.data());
        pointers_.push_back(nullptr);
    }
    int Count() const { return static_cast<int>(strings_.size()); }
    char** Values() { return pointers_.data(); }

private:
    std::vector<std::string> strings_;
    std::vector<char*> pointers_;
};

std::optional<fs::path> DocumentOf(std::initializer_list<std::string> args) {
    Argv argv(args);
    return WindowDocument(argv.Count(), argv.Values());
}

// Runs the test body in `folder`, then goes back.
class InFolder {
public:
    explicit InFolder(const fs::path& folder) : old_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(old_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    fs::path old_;
};

TEST(WindowDocumentTest, AnExistingFileOpensTheWindowWithItsAbsolutePath) {
    testing::TempFolder temp;
    std::ofstream(temp / "scan.tif") << "x";
    EXPECT_EQ(DocumentOf({(temp / "scan.tif").string()}), temp / "scan.tif");

    const InFolder here(temp.Path());
    EXPECT_EQ(DocumentOf({"scan.tif"}), temp / "scan.tif");
    // Whether it can be read is the window's to say, with Open's message.
    std::ofstream("notes.txt") << "not a scan";
    EXPECT_EQ(DocumentOf({"notes.txt"}), temp / "notes.txt");
}

TEST(WindowDocumentTest, CommandsOptionsAndOtherWordsStayTheCommandLines) {
    testing::TempFolder temp;
    const InFolder here(temp.Path());
    // Files named like a subcommand or an option do not take their place.
    for (const char* name : {"convert", "info", "search", "pack", "help", "--version", "-h"})
        std::ofstream(name) << "x";
    for (const char* word : {"convert", "info", "search", "pack", "help", "--version", "-h"})
        EXPECT_FALSE(DocumentOf({word})) << word;
    EXPECT_EQ(DocumentOf({"./info"}), temp / "info");

    fs::create_directory("folder");
    EXPECT_FALSE(DocumentOf({"folder"}));
    EXPECT_FALSE(DocumentOf({"missing.tif"}));
    EXPECT_FALSE(DocumentOf({""}));
    EXPECT_FALSE(DocumentOf({}));
    // One document only: more arguments are the command line's, and an error there.
    std::ofstream("a.tif") << "x";
    EXPECT_FALSE(DocumentOf({"a.tif", "a.tif"}));
}

// What is written to std::cerr while the object lives.
class CapturedErrors {
public:
    CapturedErrors() : old_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CapturedErrors() { std::cerr.rdbuf(old_); }
    CapturedErrors(const CapturedErrors&) = delete;
    CapturedErrors& operator=(const CapturedErrors&) = delete;
    std::string Text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* old_;
};

TEST(WindowDocumentTest, AWordThatIsNeitherCommandNorFileIsAnError) {
    Argv argv({"no-such-scan.tif"});
    const CapturedErrors errors;
    EXPECT_EQ(RunCommandLine(argv.Count(), argv.Values()), 2);
    EXPECT_NE(errors.Text().find("no such command or file \"no-such-scan.tif\""), std::string::npos)
        << errors.Text();
}

}  // namespace
}  // namespace vellumark::cli
