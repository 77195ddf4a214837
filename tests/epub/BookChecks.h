#pragma once
// Running programs from the tests: the built vellumark, epubcheck and the independent ZIP
// reader (book_entries.py).

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestTiff.h"

namespace vellumark::epub::testing {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

inline std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the program with the arguments (each quoted for the shell) and collects its output.
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
    vellumark::testing::TempFolder capture;
    std::string command = Quote(program);
    for (const auto& arg : args)
        command += " " + Quote(arg);
    command += " </dev/null >" + Quote((capture / "out").string()) + " 2>" +
               Quote((capture / "err").string());
    const int status = std::system(command.c_str());
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadWhole(capture / "out");
    result.err = ReadWhole(capture / "err");
    return result;
}

// The book's entries as an independent reader sees them ("name method size crc" lines).
inline std::string BookEntries(const std::filesystem::path& book) {
    const RunResult result = RunProgram("python3", {VELLUMARK_TEST_BOOK_ENTRIES, book.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
}

// epubcheck's verdict: passes only with no error and no warning.
inline void ExpectValidBook(const std::filesystem::path& book) {
    const RunResult result = RunProgram("java", {"-jar", VELLUMARK_TEST_EPUBCHECK, book.string()});
    const std::string all = result.out + result.err;
    EXPECT_EQ(result.exitCode, 0) << all;
    EXPECT_EQ(all.find("WARNING"), std::string::npos) << all;
    EXPECT_EQ(all.find("ERROR"), std::string::npos) << all;
}

}  // namespace vellumark::epub::testing
