#pragma once
// Checks shared by the tests that run the built program: running it, its error lines, and the
// books it makes as epubcheck and Ace see them (the test program defines what it uses of
// VELLUMARK_TEST_PROGRAM, VELLUMARK_TEST_EPUBCHECK, the jar, and VELLUMARK_TEST_BROWSER_TOOLS
// and VELLUMARK_TEST_BROWSER_SCRIPTS, where Ace is).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "RunProgram.h"

namespace vellumark::testing {

inline int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

#ifdef VELLUMARK_TEST_PROGRAM
inline RunResult Vellumark(const std::vector<std::string>& args) {
    return RunProgram(VELLUMARK_TEST_PROGRAM, args);
}

// `info` and `convert` refuse the scan in `folder` with exit 2 and one line naming it and
// saying `says`, and no book of it is written to folder/out.
inline void ExpectScanRefused(const std::filesystem::path& folder, const std::string& name,
                              const std::string& says) {
    const std::filesystem::path out = folder / "out";
    for (const std::vector<std::string>& more :
         {std::vector<std::string>{"info"},
          {"convert", "--author", "A", "--output-dir", out.string()}}) {
        std::vector<std::string> args = more;
        args.insert(args.begin() + 1, (folder / name).string());
        const RunResult run = Vellumark(args);
        EXPECT_EQ(run.exitCode, 2) << more[0] << " " << name;
        EXPECT_EQ(Lines(run.err), 1) << run.err;
        EXPECT_NE(run.err.find((folder / name).string()), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
    }
    EXPECT_FALSE(
        std::filesystem::exists(out / (std::filesystem::path(name).stem().string() + ".epub")));
}
#endif

#ifdef VELLUMARK_TEST_EPUBCHECK
// Under the sanitizers the suite looks for memory faults in this program; the books themselves
// are validated by the normal build, so the validators (a JVM and a browser, slow and outside
// this program) are not run again there.
#ifdef VELLUMARK_TEST_SANITIZED
constexpr bool kValidatorsRun = false;
#else
constexpr bool kValidatorsRun = true;
#endif

// epubcheck finds no error and no warning in any of the books, checked in one Java start.
inline void ExpectValidBooks(const std::vector<std::filesystem::path>& books) {
    if (!kValidatorsRun || books.empty())
        return;
    std::vector<std::string> args = {"-cp", VELLUMARK_TEST_EPUBCHECK, VELLUMARK_TEST_CHECK_BOOKS};
    for (const std::filesystem::path& book : books)
        args.push_back(book.string());
    const RunResult result = RunProgram("java", args);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    std::size_t clean = 0;
    for (std::size_t at = 0;
         (at = result.out.find("0 errors / 0 warnings", at)) != std::string::npos; ++at)
        ++clean;
    EXPECT_EQ(clean, books.size()) << result.out;
}

inline void ExpectValidBook(const std::filesystem::path& book) {
    ExpectValidBooks({book});
}
#endif

#ifdef VELLUMARK_TEST_BROWSER_SCRIPTS
// Ace's verdict: no critical, serious or moderate violation.
inline void ExpectAccessibleBook(const std::filesystem::path& book) {
    if (!kValidatorsRun)
        return;
    const RunResult result =
        RunProgram("env", {"ACE_DIR=" VELLUMARK_TEST_BROWSER_TOOLS, "sh",
                           VELLUMARK_TEST_BROWSER_SCRIPTS "/ace_check.sh", book.string()});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("ace: 0 critical, 0 serious, 0 moderate"), std::string::npos)
        << result.out << result.err;
}
#endif

}  // namespace vellumark::testing
